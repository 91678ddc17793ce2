// Animated images: all GIF frames decoded up front (see AnimatedImage.h).
#include "ui/utils/AnimatedImage.h"

#include <stb_image.h>

#include <climits>
#include <cstring>

#include "ui/core/PaintDC.h"
#include "ui/utils/SkinImage.h"

namespace SkinUI {

std::unique_ptr<CAnimatedImage> CAnimatedImage::Decode(const void* bytes, std::size_t size) {
  if (bytes == nullptr || size < 6 || size > static_cast<std::size_t>(INT_MAX)) return nullptr;
  const stbi_uc* data = static_cast<const stbi_uc*>(bytes);
  auto image = std::make_unique<CAnimatedImage>();
  int width = 0, height = 0, channels = 0;
  if (std::memcmp(data, "GIF8", 4) == 0) {
    int* delays = nullptr;
    int frames = 0;
    stbi_uc* rgba = stbi_load_gif_from_memory(data, static_cast<int>(size), &delays, &width, &height,
                                              &frames, &channels, 4);
    if (rgba == nullptr) return nullptr;
    if (width > 0 && height > 0 && frames > 0) {
      std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
      image->m_frames.resize(frames);
      image->m_delays.resize(frames, 0);
      for (int i = 0; i < frames; ++i) {
        image->m_frames[i].resize(count);
        PremultiplyRgba(rgba + count * 4 * i, count, 0, image->m_frames[i].data());
        // The decoder reports milliseconds; the file stores hundredths.
        if (delays != nullptr) image->m_delays[i] = delays[i] / 10;
      }
    }
    stbi_image_free(rgba);
    if (delays != nullptr) stbi_image_free(delays);
  } else {
    stbi_uc* rgba = stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &channels, 4);
    if (rgba == nullptr) return nullptr;
    if (width > 0 && height > 0) {
      std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
      image->m_frames.emplace_back(count);
      PremultiplyRgba(rgba, count, 0, image->m_frames[0].data());
    }
    stbi_image_free(rgba);
  }
  if (image->m_frames.empty()) return nullptr;
  image->m_nWidth = width;
  image->m_nHeight = height;
  return image;
}

int CAnimatedImage::DelayOf(int frame) const {
  if (frame < 0 || frame >= static_cast<int>(m_delays.size())) return 0;
  return m_delays[frame];
}

const uint32_t* CAnimatedImage::FramePixels(int frame) const {
  if (frame < 0 || frame >= FrameCount()) return nullptr;
  return m_frames[frame].data();
}

void CAnimatedImage::DrawFrame(CPaintDC& dc, int frame, const RECT& rect) const {
  const uint32_t* pixels = FramePixels(frame);
  if (pixels == nullptr) return;
  BitmapView view{pixels, m_nWidth, m_nHeight, m_nWidth * 4};
  RECT source{0, 0, m_nWidth, m_nHeight};
  dc.DrawBitmap(view, source, rect, 255, true);
}

}  // namespace SkinUI
