// Decoding of skin images into premultiplied 32-bit pixels (see SkinImage.h).
#include "ui/utils/SkinImage.h"

#include <stb_image.h>

#include <climits>

namespace SkinUI {

bool PremultiplyRgba(const unsigned char* rgba, std::size_t pixelCount, uint32_t mask, uint32_t* out) {
  bool alpha = false;
  for (std::size_t i = 0; i < pixelCount; ++i) {
    const unsigned char* p = rgba + i * 4;
    uint32_t r = p[0], g = p[1], b = p[2], a = p[3];
    if (a != 255) {
      r = r * a / 255;
      g = g * a / 255;
      b = b * a / 255;
      alpha = true;
    }
    uint32_t value = (a << 24) | (r << 16) | (g << 8) | b;
    if (mask != 0 && value == mask) {
      value = 0;
      alpha = true;
    }
    out[i] = value;
  }
  return alpha;
}

std::unique_ptr<SkinImage> DecodeSkinImage(const void* bytes, std::size_t size, uint32_t mask) {
  if (bytes == nullptr || size == 0 || size > static_cast<std::size_t>(INT_MAX)) return nullptr;
  int width = 0, height = 0, channels = 0;
  stbi_uc* rgba = stbi_load_from_memory(static_cast<const stbi_uc*>(bytes), static_cast<int>(size),
                                        &width, &height, &channels, 4);
  if (rgba == nullptr) return nullptr;
  auto image = std::make_unique<SkinImage>();
  if (width > 0 && height > 0) {
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    image->m_pixels.resize(count);
    image->m_nWidth = width;
    image->m_nHeight = height;
    image->m_bAlpha = PremultiplyRgba(rgba, count, mask, image->m_pixels.data());
  }
  stbi_image_free(rgba);
  if (image->m_pixels.empty()) return nullptr;
  image->m_dwMask = mask;
  return image;
}

}  // namespace SkinUI
