#include "ui/controls/picture.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include <wx/image.h>

#include "ui/controls/picture_decoding.h"

namespace zephra {
namespace {

std::string lowerExtension(const std::string& file) {
  const size_t dot = file.find_last_of('.');
  const size_t slash = file.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = file.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::vector<unsigned char> readWholeFile(const std::string& file) {
  std::error_code ignored;
  if (std::filesystem::is_directory(file, ignored)) throw std::runtime_error("it is a folder");
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(errno ? std::strerror(errno) : "cannot open the file");
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(errno ? std::strerror(errno) : "read error");
  return bytes;
}

// The colour of the bottom-left pixel becomes transparent.
wxBitmap bitmapTransparentByBottomLeft(wxImage image) {
  if (image.HasAlpha()) image.ClearAlpha();
  const int bottom = image.GetHeight() - 1;
  image.SetMaskColour(image.GetRed(0, bottom), image.GetGreen(0, bottom),
                      image.GetBlue(0, bottom));
  return wxBitmap(image);
}

wxBitmap decodeBmp(const unsigned char* data, size_t size) {
  return bitmapTransparentByBottomLeft(decodeBmpImage(data, size));
}

wxBitmap decodeJpeg(const unsigned char* data, size_t size) { return wxBitmap(decodeJpegImage(data, size)); }

[[noreturn]] void fail(const std::string& file, const std::string& reason) {
  throw PictureError("Cannot load picture '" + file + "': " + reason);
}

}  // namespace

Picture loadPicture(const std::string& file) {
  const std::string ext = lowerExtension(file);
  if (ext != ".bmp" && ext != ".jpg") fail(file, "no decoder for this file type");
  Picture picture;
  try {
    const std::vector<unsigned char> bytes = readWholeFile(file);
    picture.setBitmap(ext == ".bmp" ? decodeBmp(bytes.data(), bytes.size())
                                    : decodeJpeg(bytes.data(), bytes.size()));
  } catch (const std::runtime_error& e) {
    fail(file, e.what());
  }
  if (picture.empty()) fail(file, "the picture could not be made");
  return picture;
}

Picture pictureFromBmpData(const unsigned char* data, size_t size) {
  Picture picture;
  try {
    picture.setBitmap(decodeBmp(data, size));
  } catch (const std::runtime_error& e) {
    fail("(built-in)", e.what());
  }
  return picture;
}

}  // namespace zephra
