// An animated image (GIF) decoded whole: every frame as premultiplied pixels
// plus the frame delays in hundredths of a second. A still image is one frame
// without delays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/WinTypes.h"

namespace SkinUI {

class CPaintDC;

class CAnimatedImage {
 public:
  // Null when the bytes are not a decodable image.
  static std::unique_ptr<CAnimatedImage> Decode(const void* bytes, std::size_t size);

  int FrameCount() const { return static_cast<int>(m_frames.size()); }
  int Width() const { return m_nWidth; }
  int Height() const { return m_nHeight; }
  // One delay per frame (hundredths of a second); empty for a still image.
  const std::vector<int>& Delays() const { return m_delays; }
  bool HasDelays() const { return !m_delays.empty(); }
  // Delay of a frame in hundredths (0 when none is recorded).
  int DelayOf(int frame) const;
  // Premultiplied 0xAARRGGBB pixels of a frame, Width() * Height(); null when out of range.
  const uint32_t* FramePixels(int frame) const;

  // Draws the frame stretched into `rect` (smooth filtering, source-over).
  void DrawFrame(CPaintDC& dc, int frame, const RECT& rect) const;

 private:
  int m_nWidth = 0;
  int m_nHeight = 0;
  std::vector<std::vector<uint32_t>> m_frames;
  std::vector<bool> m_opaque;  // per frame: every alpha 0xFF (drawn 1:1 as a copy)
  std::vector<int> m_delays;
};

}  // namespace SkinUI
