// Animated images: all GIF frames decoded up front (see AnimatedImage.h).
#include "ui/utils/AnimatedImage.h"

#include <stb_image.h>

#include <climits>
#include <cstring>
#include <vector>

#include "ui/core/PaintDC.h"
#include "ui/utils/SkinImage.h"

namespace SkinUI {

namespace {

// Decoded frames are kept whole; more than this many pixels over all frames is refused.
constexpr std::size_t kMaxTotalPixels = std::size_t{1} << 26;

// The system's stb_image (2.27) restores a frame whose predecessor has disposal 3
// ("restore to previous") from a pointer in front of its frame buffer: from the third
// frame on it reads outside the buffer and crashes. Such frames get disposal 2
// (restore to background), which is what stb does itself when it has no previous
// frame. The walk reads the blocks as stb does, so it meets the same extensions.
// Also counts the frames. False when the file must not reach the decoder.
bool PrepareGif(std::vector<stbi_uc>& gif) {
  const std::size_t n = gif.size();
  if (n < 13) return true;  // stb rejects it
  const std::size_t pixels = static_cast<std::size_t>(gif[6] | gif[7] << 8) * (gif[8] | gif[9] << 8);
  std::size_t pos = 13;
  if (gif[10] & 0x80) pos += 3u * (2u << (gif[10] & 7));
  std::size_t frames = 0;
  auto skipSubBlocks = [&] {
    while (pos < n) {
      const std::size_t len = gif[pos++];
      if (len == 0) return;
      pos += len;
    }
  };
  while (pos < n) {
    const stbi_uc tag = gif[pos++];
    if (tag == 0x2C) {  // image descriptor
      if (++frames * pixels > kMaxTotalPixels) return false;
      if (pos + 9 > n) break;
      const stbi_uc flags = gif[pos + 8];
      pos += 9;
      if (flags & 0x80) pos += 3u * (2u << (flags & 7));
      ++pos;  // LZW code size
      skipSubBlocks();
    } else if (tag == 0x21) {  // extension
      if (pos >= n) break;
      if (gif[pos++] == 0xF9) {  // graphic control
        if (pos >= n) break;
        const std::size_t len = gif[pos++];
        if (len != 4) {
          pos += len;  // stb goes on with the next block here
          continue;
        }
        if (pos < n && (gif[pos] & 0x1C) == (3 << 2)) gif[pos] = static_cast<stbi_uc>((gif[pos] & ~0x1C) | (2 << 2));
        pos += 4;
      }
      skipSubBlocks();
    } else {
      break;  // trailer, or a block stb stops at
    }
  }
  return true;
}

}  // namespace

std::unique_ptr<CAnimatedImage> CAnimatedImage::Decode(const void* bytes, std::size_t size) {
  if (bytes == nullptr || size < 6 || size > static_cast<std::size_t>(INT_MAX)) return nullptr;
  const stbi_uc* data = static_cast<const stbi_uc*>(bytes);
  auto image = std::make_unique<CAnimatedImage>();
  int width = 0, height = 0, channels = 0;
  if (std::memcmp(data, "GIF8", 4) == 0) {
    std::vector<stbi_uc> gif(data, data + size);
    if (!PrepareGif(gif)) return nullptr;
    int* delays = nullptr;
    int frames = 0;
    stbi_uc* rgba = stbi_load_gif_from_memory(gif.data(), static_cast<int>(size), &delays, &width, &height,
                                              &frames, &channels, 4);
    if (rgba == nullptr) return nullptr;
    if (width > 0 && height > 0 && frames > 0) {
      std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
      image->m_frames.resize(frames);
      image->m_opaque.resize(frames);
      image->m_delays.resize(frames, 0);
      for (int i = 0; i < frames; ++i) {
        image->m_frames[i].resize(count);
        image->m_opaque[i] = !PremultiplyRgba(rgba + count * 4 * i, count, 0, image->m_frames[i].data());
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
      image->m_opaque.push_back(!PremultiplyRgba(rgba, count, 0, image->m_frames[0].data()));
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
  BitmapView view{pixels, m_nWidth, m_nHeight, m_nWidth * 4, m_opaque[frame]};
  RECT source{0, 0, m_nWidth, m_nHeight};
  dc.DrawBitmap(view, source, rect, 255, true);
}

}  // namespace SkinUI
