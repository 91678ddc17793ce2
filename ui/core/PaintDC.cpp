// The drawing context on cairo image surfaces (premultiplied ARGB32, the layout
// of the 32-bit device-independent bitmap) with text through Pango.
#include "ui/core/PaintDC.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/Text.h"
#include "ui/core/DrawTextFlags.h"
#include "ui/core/SkinFont.h"

namespace SkinUI {

namespace {

int RectWidth(const RECT& r) { return r.right - r.left; }
int RectHeight(const RECT& r) { return r.bottom - r.top; }

void SetRgb(cairo_t* cr, uint32_t rgb, double alpha = 1.0) {
  cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0,
                        alpha);
}

// A rounded rectangle with elliptical corners of ew x eh (whole ellipse sizes).
void RoundRectPath(cairo_t* cr, double x, double y, double w, double h, double ew, double eh) {
  double rx = std::min(ew / 2.0, w / 2.0);
  double ry = std::min(eh / 2.0, h / 2.0);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_new_sub_path(cr);
  const double corners[4][3] = {
      {x + w - rx, y + ry, -M_PI / 2}, {x + w - rx, y + h - ry, 0}, {x + rx, y + h - ry, M_PI / 2},
      {x + rx, y + ry, M_PI}};
  for (const auto& c : corners) {
    cairo_save(cr);
    cairo_translate(cr, c[0], c[1]);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, c[2], c[2] + M_PI / 2);
    cairo_restore(cr);
  }
  cairo_close_path(cr);
}

cairo_font_options_t* TextFontOptions() {
  // Grayscale antialiasing: subpixel colour fringes would be wrong on alpha surfaces.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  return options;
}

void PrepareContext(PangoContext* context) {
  cairo_font_options_t* options = TextFontOptions();
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, 96.0);
}

// Text as the native text drawing reads it: '&' prefixes unless DT_NOPREFIX,
// line breaks as blanks for single-line text, tabs expanded on request.
std::string PrepareText(const std::wstring& text, unsigned format) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'&' && !(format & DT_NOPREFIX)) {
      if (i + 1 < text.size()) {
        out += text[++i];  // "&&" shows one '&'; "&x" shows x
      }
      continue;
    }
    if ((format & DT_SINGLELINE) && (c == L'\r' || c == L'\n')) {
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      out += L' ';
      continue;
    }
    if (c == L'\t' && !(format & DT_EXPANDTABS)) {
      out += L' ';
      continue;
    }
    if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
    out += c == L'\r' ? L'\n' : c;
  }
  return platform::WideToUtf8(out);
}

// Lays the text out for a box of width x height (<= 0: unlimited).
PangoLayout* MakeLayout(PangoContext* context, const std::wstring& text, const SkinFont* font,
                        unsigned format, int width, int height) {
  PangoLayout* layout = pango_layout_new(context);
  std::string utf8 = PrepareText(text, format);
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  PangoFontDescription* fallback = nullptr;
  const PangoFontDescription* description = nullptr;
  if (font != nullptr) {
    description = static_cast<const PangoFontDescription*>(font->NativeDescription());
  } else {
    fallback = pango_font_description_from_string("Sans");
    pango_font_description_set_absolute_size(fallback, 12.0 * PANGO_SCALE);
    description = fallback;
  }
  pango_layout_set_font_description(layout, description);
  if (fallback != nullptr) pango_font_description_free(fallback);
  if (font != nullptr && font->Underline()) {
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
  }
  const bool single = (format & DT_SINGLELINE) != 0;
  const bool wrap = (format & DT_WORDBREAK) && !single;
  const bool ellipsis = (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) != 0;
  if (single) pango_layout_set_single_paragraph_mode(layout, TRUE);
  if ((wrap || ellipsis) && width > 0) {
    pango_layout_set_width(layout, width * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    if (ellipsis) {
      pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
      // Wrapped text ellipsizes its last visible line; other text each line.
      pango_layout_set_height(layout, wrap && height > 0 ? height * PANGO_SCALE : -1);
    }
  }
  if (format & DT_CENTER) {
    pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
  } else if (format & DT_RIGHT) {
    pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
  }
  return layout;
}

PangoContext* TextContext() {
  // One per thread: Pango's font maps are per thread.
  thread_local struct Holder {
    PangoContext* context = nullptr;
    ~Holder() {
      if (context != nullptr) g_object_unref(context);
    }
  } holder;
  if (holder.context == nullptr) {
    InstallFontAliases();
    holder.context = pango_font_map_create_context(pango_cairo_font_map_get_default());
    PrepareContext(holder.context);
  }
  return holder.context;
}

}  // namespace

// ---- CSurfaceUI ----

struct CSurfaceUI::Impl {
  std::vector<uint32_t> pixels;
  int width = 0;
  int height = 0;
  int stride = 0;
  cairo_surface_t* surface = nullptr;

  ~Impl() { Destroy(); }
  void Destroy() {
    if (surface != nullptr) cairo_surface_destroy(surface);
    surface = nullptr;
    pixels.clear();
    width = height = stride = 0;
  }
  bool Create(int w, int h) {
    Destroy();
    if (w <= 0 || h <= 0 || w > 32767 || h > 32767) return false;
    int s = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, w);
    if (s <= 0) return false;
    pixels.assign(static_cast<std::size_t>(s / 4) * static_cast<std::size_t>(h), 0);
    surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels.data()),
                                                  CAIRO_FORMAT_ARGB32, w, h, s);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
      Destroy();
      return false;
    }
    width = w;
    height = h;
    stride = s;
    return true;
  }
};

CSurfaceUI::CSurfaceUI(int width, int height) : m_pImpl(std::make_unique<Impl>()) { m_pImpl->Create(width, height); }
CSurfaceUI::~CSurfaceUI() = default;

bool CSurfaceUI::IsValid() const { return m_pImpl->surface != nullptr; }
int CSurfaceUI::Width() const { return m_pImpl->width; }
int CSurfaceUI::Height() const { return m_pImpl->height; }
int CSurfaceUI::Stride() const { return m_pImpl->stride; }

uint32_t* CSurfaceUI::Pixels() {
  if (m_pImpl->surface == nullptr) return nullptr;
  cairo_surface_flush(m_pImpl->surface);
  return m_pImpl->pixels.data();
}

const uint32_t* CSurfaceUI::Pixels() const {
  if (m_pImpl->surface == nullptr) return nullptr;
  cairo_surface_flush(m_pImpl->surface);
  return m_pImpl->pixels.data();
}

uint32_t CSurfaceUI::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_pImpl->width || y >= m_pImpl->height) return 0;
  const uint32_t* pixels = Pixels();
  return pixels[static_cast<std::size_t>(y) * (m_pImpl->stride / 4) + x];
}

void CSurfaceUI::Clear(uint32_t premultipliedArgb) {
  if (m_pImpl->surface == nullptr) return;
  cairo_surface_flush(m_pImpl->surface);
  std::fill(m_pImpl->pixels.begin(), m_pImpl->pixels.end(), premultipliedArgb);
  cairo_surface_mark_dirty(m_pImpl->surface);
}

void CSurfaceUI::MarkDirty() {
  if (m_pImpl->surface != nullptr) cairo_surface_mark_dirty(m_pImpl->surface);
}

bool CSurfaceUI::Resize(int width, int height) { return m_pImpl->Create(width, height); }

BitmapView CSurfaceUI::View() const {
  return BitmapView{Pixels(), m_pImpl->width, m_pImpl->height, m_pImpl->stride};
}

// ---- CRenderClip ----

CRenderClip& CRenderClip::operator=(CRenderClip&& other) noexcept {
  if (this != &other) {
    Release();
    m_pDC = other.m_pDC;
    m_nDepth = other.m_nDepth;
    other.m_pDC = nullptr;
  }
  return *this;
}

void CRenderClip::Release() {
  if (m_pDC != nullptr) m_pDC->PopClipTo(m_nDepth);
  m_pDC = nullptr;
}

// ---- CPaintDC ----

struct CPaintDC::Impl {
  cairo_t* cr = nullptr;
  int depth = 0;

  ~Impl() {
    if (cr != nullptr) cairo_destroy(cr);
  }
};

CPaintDC::CPaintDC(CSurfaceUI& surface) : m_surface(surface), m_pImpl(std::make_unique<Impl>()) {
  if (surface.m_pImpl->surface != nullptr) {
    m_pImpl->cr = cairo_create(surface.m_pImpl->surface);
  }
}

CPaintDC::~CPaintDC() {
  if (m_pImpl->cr != nullptr) {
    while (m_pImpl->depth > 0) {
      cairo_restore(m_pImpl->cr);
      --m_pImpl->depth;
    }
    cairo_surface_flush(cairo_get_target(m_pImpl->cr));
  }
}

bool CPaintDC::IsValid() const { return m_pImpl->cr != nullptr; }

RECT CPaintDC::ClipBox() const {
  RECT box{};
  if (m_pImpl->cr == nullptr) return box;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  cairo_clip_extents(m_pImpl->cr, &x1, &y1, &x2, &y2);
  box.left = static_cast<int32_t>(std::floor(x1));
  box.top = static_cast<int32_t>(std::floor(y1));
  box.right = static_cast<int32_t>(std::ceil(x2));
  box.bottom = static_cast<int32_t>(std::ceil(y2));
  return box;
}

int CPaintDC::PushClipRect(const RECT& rect) {
  cairo_t* cr = m_pImpl->cr;
  if (cr == nullptr) return 0;
  cairo_save(cr);
  cairo_rectangle(cr, rect.left, rect.top, std::max(0, RectWidth(rect)), std::max(0, RectHeight(rect)));
  cairo_clip(cr);
  return ++m_pImpl->depth;
}

int CPaintDC::PushClipRoundRect(const RECT& rect, const RECT& round, int cx, int cy) {
  cairo_t* cr = m_pImpl->cr;
  if (cr == nullptr) return 0;
  cairo_save(cr);
  cairo_rectangle(cr, rect.left, rect.top, std::max(0, RectWidth(rect)), std::max(0, RectHeight(rect)));
  cairo_clip(cr);
  RoundRectPath(cr, round.left, round.top, std::max(0, RectWidth(round)), std::max(0, RectHeight(round)), cx, cy);
  cairo_clip(cr);
  return ++m_pImpl->depth;
}

void CPaintDC::PopClipTo(int depth) {
  cairo_t* cr = m_pImpl->cr;
  if (cr == nullptr || depth <= 0) return;
  while (m_pImpl->depth >= depth) {
    cairo_restore(cr);
    --m_pImpl->depth;
  }
}

int CPaintDC::ClipDepth() const { return m_pImpl->depth; }

void CPaintDC::FillRect(const RECT& rect, uint32_t argb) {
  cairo_t* cr = m_pImpl->cr;
  uint32_t alpha = argb >> 24;
  if (cr == nullptr || alpha == 0 || RectWidth(rect) <= 0 || RectHeight(rect) <= 0) return;
  cairo_save(cr);
  cairo_set_operator(cr, alpha == 255 ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
  SetRgb(cr, argb, alpha / 255.0);
  cairo_rectangle(cr, rect.left, rect.top, RectWidth(rect), RectHeight(rect));
  cairo_fill(cr);
  cairo_restore(cr);
}

void CPaintDC::DrawBitmap(const BitmapView& src, const RECT& srcRect, const RECT& dstRect, uint8_t fade,
                          bool smooth) {
  cairo_t* cr = m_pImpl->cr;
  if (cr == nullptr || src.pixels == nullptr || fade == 0) return;
  RECT s = srcRect;
  s.left = std::max(0, s.left);
  s.top = std::max(0, s.top);
  s.right = std::min(src.width, s.right);
  s.bottom = std::min(src.height, s.bottom);
  const int sw = RectWidth(s), sh = RectHeight(s);
  const int dw = RectWidth(dstRect), dh = RectHeight(dstRect);
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;

  cairo_surface_t* image = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(src.pixels)), CAIRO_FORMAT_ARGB32, src.width,
      src.height, src.stride);
  // A sub-surface keeps neighbouring parts of the image out of the filter.
  cairo_surface_t* part = cairo_surface_create_for_rectangle(image, s.left, s.top, sw, sh);
  cairo_save(cr);
  cairo_rectangle(cr, dstRect.left, dstRect.top, dw, dh);
  cairo_clip(cr);
  cairo_translate(cr, dstRect.left, dstRect.top);
  const bool scaled = sw != dw || sh != dh;
  if (scaled) cairo_scale(cr, static_cast<double>(dw) / sw, static_cast<double>(dh) / sh);
  cairo_set_source_surface(cr, part, 0, 0);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(pattern, scaled && smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
  if (fade == 255) {
    cairo_paint(cr);
  } else {
    cairo_paint_with_alpha(cr, fade / 255.0);
  }
  cairo_restore(cr);
  cairo_surface_destroy(part);
  cairo_surface_destroy(image);
}

void CPaintDC::FillVerticalGradient(const RECT& rect, uint32_t rgbTop, uint32_t rgbBottom, uint8_t alpha,
                                    int bands) {
  cairo_t* cr = m_pImpl->cr;
  const int w = RectWidth(rect), h = RectHeight(rect);
  if (cr == nullptr || alpha == 0 || w <= 0 || h <= 0) return;
  cairo_save(cr);
  const double a = alpha / 255.0;
  if (bands > 0) {
    for (int i = 0; i < bands; ++i) {
      int top = rect.top + h * i / bands;
      int bottom = rect.top + h * (i + 1) / bands;
      double t = bands > 1 ? static_cast<double>(i) / (bands - 1) : 0.0;
      auto mix = [t](uint32_t c1, uint32_t c2, int shift) {
        double v1 = (c1 >> shift) & 0xFF, v2 = (c2 >> shift) & 0xFF;
        return (v1 + (v2 - v1) * t) / 255.0;
      };
      cairo_set_source_rgba(cr, mix(rgbTop, rgbBottom, 16), mix(rgbTop, rgbBottom, 8), mix(rgbTop, rgbBottom, 0),
                            a);
      cairo_rectangle(cr, rect.left, top, w, bottom - top);
      cairo_fill(cr);
    }
  } else {
    cairo_pattern_t* pattern = cairo_pattern_create_linear(0, rect.top, 0, rect.bottom);
    cairo_pattern_add_color_stop_rgba(pattern, 0, ((rgbTop >> 16) & 0xFF) / 255.0, ((rgbTop >> 8) & 0xFF) / 255.0,
                                      (rgbTop & 0xFF) / 255.0, a);
    cairo_pattern_add_color_stop_rgba(pattern, 1, ((rgbBottom >> 16) & 0xFF) / 255.0,
                                      ((rgbBottom >> 8) & 0xFF) / 255.0, (rgbBottom & 0xFF) / 255.0, a);
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, rect.left, rect.top, w, h);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
  }
  cairo_restore(cr);
}

void CPaintDC::DrawLine(int x0, int y0, int x1, int y1, int width, uint32_t rgb, int style) {
  cairo_t* cr = m_pImpl->cr;
  if (cr == nullptr || style == PS_NULL) return;
  const double w = std::max(1, width);
  cairo_save(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(cr, w);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  static const double kDash[] = {18, 6};
  static const double kDot[] = {3, 3};
  static const double kDashDot[] = {9, 6, 3, 6};
  static const double kDashDotDot[] = {9, 3, 3, 3, 3, 3};
  switch (style) {
    case PS_DASH: cairo_set_dash(cr, kDash, 2, 0); break;
    case PS_DOT: cairo_set_dash(cr, kDot, 2, 0); break;
    case PS_DASHDOT: cairo_set_dash(cr, kDashDot, 4, 0); break;
    case PS_DASHDOTDOT: cairo_set_dash(cr, kDashDotDot, 6, 0); break;
    default: break;
  }
  SetRgb(cr, rgb);
  // Pixel centres for odd widths, so a one-pixel line covers one row or column.
  const double offset = (static_cast<int>(w) % 2) ? 0.5 : 0.0;
  double ax = x0, ay = y0, bx = x1, by = y1;
  if (y0 == y1) {
    ay += offset;
    by += offset;
  } else if (x0 == x1) {
    ax += offset;
    bx += offset;
  } else {
    ax += offset; ay += offset; bx += offset; by += offset;
  }
  cairo_move_to(cr, ax, ay);
  cairo_line_to(cr, bx, by);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void CPaintDC::DrawFrame(const RECT& rect, int width, uint32_t rgb) {
  const int w = RectWidth(rect), h = RectHeight(rect);
  if (m_pImpl->cr == nullptr || w <= 0 || h <= 0) return;
  const int pen = std::max(1, width);
  const uint32_t colour = 0xFF000000u | (rgb & 0xFFFFFF);
  if (pen * 2 >= w || pen * 2 >= h) {
    FillRect(rect, colour);
    return;
  }
  FillRect(RECT{rect.left, rect.top, rect.right, rect.top + pen}, colour);
  FillRect(RECT{rect.left, rect.bottom - pen, rect.right, rect.bottom}, colour);
  FillRect(RECT{rect.left, rect.top + pen, rect.left + pen, rect.bottom - pen}, colour);
  FillRect(RECT{rect.right - pen, rect.top + pen, rect.right, rect.bottom - pen}, colour);
}

void CPaintDC::DrawRoundFrame(const RECT& rect, int width, int ellipseWidth, int ellipseHeight, uint32_t rgb) {
  cairo_t* cr = m_pImpl->cr;
  const int w = RectWidth(rect), h = RectHeight(rect);
  if (cr == nullptr || w <= 0 || h <= 0) return;
  const double pen = std::max(1, width);
  cairo_save(cr);
  SetRgb(cr, rgb);
  cairo_set_line_width(cr, pen);
  // Inside frame: the stroke's outer edge runs along the rectangle.
  RoundRectPath(cr, rect.left + pen / 2, rect.top + pen / 2, std::max(0.0, w - pen), std::max(0.0, h - pen),
                std::max(0.0, ellipseWidth - pen), std::max(0.0, ellipseHeight - pen));
  cairo_stroke(cr);
  cairo_restore(cr);
}

void CPaintDC::DrawText(const RECT& rect, const std::wstring& text, uint32_t rgb, const SkinFont* font,
                        unsigned format) {
  cairo_t* cr = m_pImpl->cr;
  if (cr == nullptr || text.empty() || (format & DT_CALCRECT)) return;
  const int width = RectWidth(rect), height = RectHeight(rect);
  if (!(format & DT_NOCLIP) && (width <= 0 || height <= 0)) return;
  // One context per thread for drawing and measuring: a fresh context per paint
  // would lose Pango's font-set caches and cost milliseconds now and then.
  PangoContext* context = TextContext();
  pango_cairo_update_context(cr, context);
  PangoLayout* layout = MakeLayout(context, text, font, format, width, height);
  int textWidth = 0, textHeight = 0;
  pango_layout_get_pixel_size(layout, &textWidth, &textHeight);

  double x = rect.left;
  if (pango_layout_get_width(layout) < 0) {
    // Unwrapped text: place the block itself; lines align inside it.
    if (format & DT_CENTER) {
      x = rect.left + (width - textWidth) / 2;
    } else if (format & DT_RIGHT) {
      x = rect.right - textWidth;
    }
  }
  double y = rect.top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) {
      y = rect.top + (height - textHeight) / 2;
    } else if (format & DT_BOTTOM) {
      y = rect.bottom - textHeight;
    }
  }

  cairo_save(cr);
  if (!(format & DT_NOCLIP)) {
    cairo_rectangle(cr, rect.left, rect.top, width, height);
    cairo_clip(cr);
  }
  SetRgb(cr, rgb);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  g_object_unref(layout);
}

SIZE CPaintDC::MeasureText(const std::wstring& text, const SkinFont* font, unsigned format, int maxWidth) {
  SIZE size{};
  if (text.empty()) return size;
  unsigned layoutFormat = format;
  if (maxWidth <= 0) layoutFormat &= ~(DT_WORDBREAK | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS);
  PangoLayout* layout = MakeLayout(TextContext(), text, font, layoutFormat, maxWidth, 0);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  g_object_unref(layout);
  size.cx = w;
  size.cy = h;
  return size;
}

}  // namespace SkinUI
