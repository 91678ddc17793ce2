// One decoded skin image: a top-down 32-bit bitmap with premultiplied alpha,
// pixels as 0xAARRGGBB words (B, G, R, A bytes in memory, as the drawing surface).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/PaintDC.h"

namespace SkinUI {

struct SkinImage {
  std::vector<uint32_t> m_pixels;  // m_nWidth * m_nHeight, row after row, premultiplied
  int m_nWidth = 0;
  int m_nHeight = 0;
  // True when a pixel is not fully opaque or was cleared by the mask.
  bool m_bAlpha = false;
  std::wstring m_strResType;  // the type it was loaded with; empty for files
  uint32_t m_dwMask = 0;      // 0xAARRGGBB; 0 = none

  // Names these pixels to the drawing's kept pieces. The pixels do not change once
  // drawn; whoever changes them afterwards gives the image a new id.
  uint64_t m_uCacheId = NewBitmapCacheId();

  const uint32_t* Pixels() const { return m_pixels.data(); }
  int Stride() const { return m_nWidth * 4; }  // bytes per row
  BitmapView View() const { return BitmapView{Pixels(), m_nWidth, m_nHeight, Stride(), !m_bAlpha, m_uCacheId}; }
};

// Decodes PNG, JPEG, BMP or GIF (first frame) bytes. Pixels whose resulting
// value equals `mask` (when not 0) become fully transparent. Null on failure.
std::unique_ptr<SkinImage> DecodeSkinImage(const void* bytes, std::size_t size, uint32_t mask);

// Converts straight RGBA bytes (stb order) into the premultiplied pixel words;
// returns the alpha flag as defined above.
bool PremultiplyRgba(const unsigned char* rgba, std::size_t pixelCount, uint32_t mask, uint32_t* out);

}  // namespace SkinUI
