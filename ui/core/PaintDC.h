// The framework's drawing context: CSurfaceUI owns a premultiplied ARGB32 pixel
// buffer (what the window layer pushes to the screen and tests read back);
// CPaintDC draws on it with a clip stack. No drawing-library types leak here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/WinTypes.h"

namespace SkinUI {

class SkinFont;

// Premultiplied 0xAARRGGBB pixels owned by someone else.
struct BitmapView {
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes per row
  bool opaque = false;  // every alpha is 0xFF: unscaled pieces are plain copies
  // Non-zero: these pixels never change under this id (see NewBitmapCacheId), so
  // stretched pieces of them may be kept between paints.
  uint64_t cacheId = 0;
};

// A process-wide unique id for pixels that stay unchanged while the id is used.
uint64_t NewBitmapCacheId();

class CSurfaceUI {
 public:
  // Cleared to transparent black. An empty or failed surface is not valid.
  CSurfaceUI(int width, int height);
  ~CSurfaceUI();
  CSurfaceUI(const CSurfaceUI&) = delete;
  CSurfaceUI& operator=(const CSurfaceUI&) = delete;

  bool IsValid() const;
  int Width() const;
  int Height() const;
  int Stride() const;  // bytes per row
  // Row-major premultiplied pixels (B, G, R, A bytes); pending drawing is flushed first.
  uint32_t* Pixels();
  const uint32_t* Pixels() const;
  // 0 outside the surface.
  uint32_t PixelAt(int x, int y) const;
  void Clear(uint32_t premultipliedArgb = 0);
  // Call after writing through Pixels() directly.
  void MarkDirty();
  // New size, contents cleared; false when the size is not usable. No CPaintDC may be
  // open on the surface meanwhile.
  bool Resize(int width, int height);
  BitmapView View() const;

 private:
  friend class CPaintDC;
  struct Impl;
  std::unique_ptr<Impl> m_pImpl;
};

class CPaintDC;

// Restores the clip that was current before it was made, when released or destroyed.
class CRenderClip {
 public:
  CRenderClip() = default;
  CRenderClip(CPaintDC* dc, int depth) : m_pDC(dc), m_nDepth(depth) {}
  ~CRenderClip() { Release(); }
  CRenderClip(CRenderClip&& other) noexcept : m_pDC(other.m_pDC), m_nDepth(other.m_nDepth) {
    other.m_pDC = nullptr;
  }
  CRenderClip& operator=(CRenderClip&& other) noexcept;
  CRenderClip(const CRenderClip&) = delete;
  CRenderClip& operator=(const CRenderClip&) = delete;
  void Release();

 private:
  CPaintDC* m_pDC = nullptr;  // not owned
  int m_nDepth = 0;           // clip depth this object pushed
};

// Drawing on a surface; the surface must outlive it. UI thread only.
class CPaintDC {
 public:
  explicit CPaintDC(CSurfaceUI& surface);
  ~CPaintDC();
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;

  bool IsValid() const;
  CSurfaceUI& Surface() { return m_surface; }
  // Extents of the current clip in surface pixels.
  RECT ClipBox() const;

  // Clip stack: each push intersects the current clip; pops restore in reverse order.
  // Returns the new depth.
  int PushClipRect(const RECT& rect);
  // Intersects with `rect` and with a rounded rectangle over `round` (ellipse cx x cy).
  int PushClipRoundRect(const RECT& rect, const RECT& round, int cx, int cy);
  // Pops clips until the depth is below `depth` (what a push returning `depth` added).
  void PopClipTo(int depth);
  int ClipDepth() const;

  // Straight-alpha colour 0xAARRGGBB: 0xFF fills opaquely, less blends.
  void FillRect(const RECT& rect, uint32_t argb);
  // Source-over of `src` pixels in `srcRect` stretched onto `dstRect`, times fade/255.
  // `smooth` chooses good filtering for stretched pieces.
  void DrawBitmap(const BitmapView& src, const RECT& srcRect, const RECT& dstRect, uint8_t fade = 255,
                  bool smooth = true);
  // Vertical gradient between two RGB colours, drawn with a constant alpha;
  // bands = 0 for a continuous one.
  void FillVerticalGradient(const RECT& rect, uint32_t rgbTop, uint32_t rgbBottom, uint8_t alpha,
                            int bands = 0);
  // Pen of a PS_* style, width in pixels, RGB colour (alpha ignored).
  void DrawLine(int x0, int y0, int x1, int y1, int width, uint32_t rgb, int style);
  // Frame drawn inside the rectangle (inside-frame pen), nothing filled.
  void DrawFrame(const RECT& rect, int width, uint32_t rgb);
  void DrawRoundFrame(const RECT& rect, int width, int ellipseWidth, int ellipseHeight, uint32_t rgb);
  // Text with DT_* flags; RGB colour (alpha ignored). Null font: the system's sans font.
  void DrawText(const RECT& rect, const std::wstring& text, uint32_t rgb, const SkinFont* font,
                unsigned format);
  // Size of the text as DrawText would lay it out; `maxWidth` limits wrapped text (<= 0: none).
  static SIZE MeasureText(const std::wstring& text, const SkinFont* font, unsigned format,
                          int maxWidth = 0);

  // Shortcuts of this thread's drawing: text layouts and stretched image pieces kept
  // between paints, unscaled opaque pieces copied row by row. They paint the same
  // pixels as the general path; off only to compare the two. On by default.
  static void SetShortcuts(bool enabled);
  static bool Shortcuts();
  // Drops this thread's kept layouts and pieces.
  static void DropKeptDrawing();

 private:
  struct Impl;
  CSurfaceUI& m_surface;
  std::unique_ptr<Impl> m_pImpl;
};

}  // namespace SkinUI
