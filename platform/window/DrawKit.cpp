// Canvas for the window layer's own windows, over cairo and pango.
#include "platform/window/DrawKit.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>

#include "platform/Text.h"
#include "platform/window/NativeWindow.h"

namespace platform {
namespace {

void SetColor(cairo_t* cr, uint32_t argb) {
  cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                        ((argb >> 24) & 0xFF) / 255.0);
}

PangoLayout* MakeLayout(cairo_t* cr, const std::wstring& text, int pixelSize, int maxWidth, bool bold) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* fd = pango_font_description_from_string("WenQuanYi Micro Hei, Noto Sans CJK SC, sans");
  pango_font_description_set_absolute_size(fd, pixelSize * PANGO_SCALE);
  if (bold) pango_font_description_set_weight(fd, PANGO_WEIGHT_BOLD);
  pango_layout_set_font_description(layout, fd);
  pango_font_description_free(fd);
  const std::string utf8 = WideToUtf8(text);
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  if (maxWidth > 0) {
    pango_layout_set_width(layout, maxWidth * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  }
  return layout;
}

}  // namespace

Canvas::Canvas(int width, int height)
    : m_width(std::max(width, 1)),
      m_height(std::max(height, 1)),
      m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, m_width, m_height)),
      m_cr(cairo_create(m_surface)) {}

Canvas::~Canvas() {
  cairo_destroy(m_cr);
  cairo_surface_destroy(m_surface);
}

void Canvas::Fill(const RECT& rc, uint32_t argb) {
  cairo_save(m_cr);
  cairo_set_operator(m_cr, CAIRO_OPERATOR_SOURCE);
  SetColor(m_cr, argb);
  cairo_rectangle(m_cr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
  cairo_fill(m_cr);
  cairo_restore(m_cr);
}

void Canvas::Frame(const RECT& rc, uint32_t argb, int width) {
  SetColor(m_cr, argb);
  cairo_set_line_width(m_cr, width);
  const double inset = width / 2.0;
  cairo_rectangle(m_cr, rc.left + inset, rc.top + inset, rc.right - rc.left - width, rc.bottom - rc.top - width);
  cairo_stroke(m_cr);
}

void Canvas::Disc(int cx, int cy, int radius, uint32_t argb) {
  SetColor(m_cr, argb);
  cairo_arc(m_cr, cx, cy, radius, 0, 6.283185307179586);
  cairo_fill(m_cr);
}

void Canvas::Text(const RECT& rc, const std::wstring& text, int pixelSize, uint32_t argb, int align, bool wrap,
                  bool bold) {
  const int w = rc.right - rc.left;
  PangoLayout* layout = MakeLayout(m_cr, text, pixelSize, wrap ? w : 0, bold);
  pango_layout_set_alignment(layout, align == 1 ? PANGO_ALIGN_CENTER : align == 2 ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT);
  if (!wrap) pango_layout_set_width(layout, w * PANGO_SCALE);
  int lw, lh;
  pango_layout_get_pixel_size(layout, &lw, &lh);
  cairo_save(m_cr);
  cairo_rectangle(m_cr, rc.left, rc.top, w, rc.bottom - rc.top);
  cairo_clip(m_cr);
  SetColor(m_cr, argb);
  cairo_move_to(m_cr, rc.left, rc.top + (rc.bottom - rc.top - lh) / 2);
  pango_cairo_show_layout(m_cr, layout);
  cairo_restore(m_cr);
  g_object_unref(layout);
}

const uint32_t* Canvas::Pixels() {
  cairo_surface_flush(m_surface);
  return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(m_surface));
}

int Canvas::Stride() const { return cairo_image_surface_get_stride(m_surface); }

void Canvas::Present(HWND hwnd) {
  PresentPixels(hwnd, Pixels(), Stride(), m_width, m_height, RECT{0, 0, m_width, m_height});
}

SIZE Canvas::Measure(const std::wstring& text, int pixelSize, int maxWidth, bool bold) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(s);
  PangoLayout* layout = MakeLayout(cr, text, pixelSize, maxWidth, bold);
  int w, h;
  pango_layout_get_pixel_size(layout, &w, &h);
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return SIZE{w, h};
}

}  // namespace platform
