// A small cairo + pango canvas for the window layer's own windows (tooltips,
// the message box, the folder prompt).
#pragma once

#include <string>

#include "platform/window/WinUser.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace platform {

class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Colours are 0xAARRGGBB.
  void Fill(const RECT& rc, uint32_t argb);
  void Frame(const RECT& rc, uint32_t argb, int width = 1);
  void Disc(int cx, int cy, int radius, uint32_t argb);
  // Draws text inside rc: centred vertically, left (align 0), centre (1) or
  // right (2); wraps at the rectangle's width when wrap is set.
  void Text(const RECT& rc, const std::wstring& text, int pixelSize, uint32_t argb, int align, bool wrap,
            bool bold = false);
  // Premultiplied ARGB32 pixels, row stride in bytes.
  const uint32_t* Pixels();
  int Stride() const;
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // Pushes the whole canvas to a window.
  void Present(HWND hwnd);

  // Size of a text laid out at pixelSize, wrapped at maxWidth (0 = no wrap).
  static SIZE Measure(const std::wstring& text, int pixelSize, int maxWidth, bool bold = false);

 private:
  int m_width;
  int m_height;
  cairo_surface_t* m_surface;
  cairo_t* m_cr;
};

}  // namespace platform
