// Safe mapping of request paths to files under the document root.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zephra {

// Resolves a decoded request path ("/demo/a.ts") to a regular file under `root`. Refuses, with
// nullopt, anything that could reach outside the root or that is not a plain file: ".." or "."
// segments, backslashes, NUL, control characters, a path that does not start with "/", and any
// file whose real path (symbolic links followed) is not inside the real root. Directories map to
// their index.html.
std::optional<std::string> resolveStaticPath(const std::string& root, std::string_view requestPath);

// Content type by file extension; application/octet-stream when unknown.
std::string contentTypeFor(std::string_view path);

}  // namespace zephra
