#include "local_server/static_files.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "common/text.h"

namespace zephra {

namespace {

namespace fs = std::filesystem;

std::optional<std::string> realPath(const std::string& path) {
  std::error_code error;
  const fs::path resolved = fs::canonical(path, error);
  if (error) return std::nullopt;
  return resolved.string();
}

bool isUnder(const std::string& path, const std::string& root) {
  if (path.size() <= root.size()) return false;
  if (path.compare(0, root.size(), root) != 0) return false;
  return root.back() == '/' || path[root.size()] == '/';
}

bool segmentsAreSafe(std::string_view path) {
  std::size_t start = 1;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::optional<std::string> resolveStaticPath(const std::string& root, std::string_view requestPath) {
  if (requestPath.empty() || requestPath.front() != '/') return std::nullopt;
  for (char c : requestPath) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '\\') return std::nullopt;
  }
  if (requestPath.find("//") != std::string_view::npos) return std::nullopt;
  if (!segmentsAreSafe(requestPath)) return std::nullopt;

  const auto realRoot = realPath(root);
  if (!realRoot) return std::nullopt;

  std::string candidate = *realRoot + std::string(requestPath);
  std::error_code error;
  const fs::file_status status = fs::status(candidate, error);
  if (error || !fs::exists(status)) return std::nullopt;
  if (fs::is_directory(status)) {
    if (candidate.back() != '/') candidate += '/';
    candidate += "index.html";
  }

  // The lexical checks above cannot see symbolic links inside the tree; the real path can.
  const auto real = realPath(candidate);
  if (!real || !isUnder(*real, *realRoot)) return std::nullopt;
  const fs::file_status found = fs::status(*real, error);
  if (error || !fs::is_regular_file(found)) return std::nullopt;
  return real;
}

std::string contentTypeFor(std::string_view path) {
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return "application/octet-stream";
  const std::string ext = text::asciiLowered(path.substr(dot + 1));
  static const std::pair<const char*, const char*> kTypes[] = {
      {"html", "text/html; charset=utf-8"},
      {"htm", "text/html; charset=utf-8"},
      {"css", "text/css; charset=utf-8"},
      {"js", "text/javascript; charset=utf-8"},
      {"json", "application/json"},
      {"txt", "text/plain; charset=utf-8"},
      {"m3u", "audio/x-mpegurl"},
      {"m3u8", "application/vnd.apple.mpegurl"},
      {"png", "image/png"},
      {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},
      {"gif", "image/gif"},
      {"svg", "image/svg+xml"},
      {"ico", "image/x-icon"},
      {"webp", "image/webp"},
      {"ts", "video/mp2t"},
      {"mp4", "video/mp4"},
      {"mkv", "video/x-matroska"},
      {"webm", "video/webm"},
      {"mp3", "audio/mpeg"},
      {"aac", "audio/aac"},
      {"zip", "application/zip"},
  };
  for (const auto& [known, type] : kTypes)
    if (ext == known) return type;
  return "application/octet-stream";
}

}  // namespace zephra
