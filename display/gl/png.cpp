// writePng: RGB rows to an 8-bit PNG with libpng, written whole or not at all.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "display/gl/headless_surface.h"

namespace velmora {
namespace {

// Runs libpng on an open file; false when libpng reported an error.
bool encode(std::FILE* f, int width, int height, const std::vector<unsigned char>& rgb) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  for (int row = 0; row < height; ++row)
    png_write_row(png, rgb.data() + static_cast<std::size_t>(row) * stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb,
              std::string& error) {
  if (width < 1 || height < 1 ||
      rgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
    error = "\"" + path + "\": picture data do not match " + std::to_string(width) + " x " + std::to_string(height);
    return false;
  }
  const std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    error = "\"" + path + "\": cannot be created";
    return false;
  }
  const bool encoded = encode(f, width, height, rgb);
  const bool closed = std::fclose(f) == 0;
  std::error_code ec;
  if (encoded && closed) std::filesystem::rename(tmp, path, ec);
  if (!encoded || !closed || ec) {
    std::filesystem::remove(tmp, ec);
    error = "\"" + path + "\": cannot be written";
    return false;
  }
  return true;
}

}  // namespace velmora
