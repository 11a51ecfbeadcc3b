// Image files: PNG writing for screenshots and reading of bitmaps (stb, from libstb-dev).
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cstring>

#include "platform/platform.h"

namespace korva::platform {

bool png_write(const std::string& path, int32_t width, int32_t height, const uint8_t* rgb) {
  if (width <= 0 || height <= 0 || !rgb) return false;
  return stbi_write_png(path.c_str(), width, height, 3, rgb, width * 3) != 0;
}

bool surface_write_png(const Surface& s, const std::string& path) {
  std::vector<uint8_t> rgb;
  surface_to_rgb(s, rgb);
  return png_write(path, s.width, s.height, rgb.data());
}

bool image_load_rgb(const std::string& path, std::vector<uint8_t>& rgb, int32_t& width,
                    int32_t& height) {
  int w = 0, h = 0, comp = 0;
  // The size is checked before decoding so that a damaged header cannot ask for gigabytes.
  if (!stbi_info(path.c_str(), &w, &h, &comp) || w <= 0 || h <= 0 || w > 8192 || h > 8192)
    return false;
  stbi_uc* data = stbi_load(path.c_str(), &w, &h, &comp, 3);
  if (!data) return false;
  rgb.assign(data, data + size_t(w) * size_t(h) * 3);
  stbi_image_free(data);
  width = w;
  height = h;
  return true;
}

bool image_decode_rgb(const uint8_t* data, int64_t size, std::vector<uint8_t>& rgb, int32_t& width,
                      int32_t& height) {
  if (!data || size <= 0 || size > 0x7fffffff) return false;
  int w = 0, h = 0, comp = 0;
  const int n = static_cast<int>(size);
  if (!stbi_info_from_memory(data, n, &w, &h, &comp) || w <= 0 || h <= 0 || w > 8192 || h > 8192)
    return false;
  stbi_uc* pixels = stbi_load_from_memory(data, n, &w, &h, &comp, 3);
  if (!pixels) return false;
  rgb.assign(pixels, pixels + size_t(w) * size_t(h) * 3);
  stbi_image_free(pixels);
  width = w;
  height = h;
  return true;
}

}  // namespace korva::platform
