// The drawing context on cairo image surfaces (premultiplied ARGB32, the layout
// of the 32-bit device-independent bitmap) with text through Pango.
#include "ui/core/PaintDC.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <list>
#include <unordered_map>
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

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right <= r.left || r.bottom <= r.top) r = RECT{};
  return r;
}

bool IsEmptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::size_t Mix(std::size_t seed, std::size_t value) {
  return seed ^ (value + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2));
}

std::size_t HashRect(std::size_t seed, const RECT& r) {
  seed = Mix(seed, static_cast<uint32_t>(r.left));
  seed = Mix(seed, static_cast<uint32_t>(r.top));
  seed = Mix(seed, static_cast<uint32_t>(r.right));
  return Mix(seed, static_cast<uint32_t>(r.bottom));
}

// A bounded least-recently-used map whose values are released by `Release`.
template <typename Key, typename Value, typename Hash>
class KeptMap {
 public:
  using Release = void (*)(Value);
  KeptMap(std::size_t maxCost, Release release) : m_nMaxCost(maxCost), m_release(release) {}
  ~KeptMap() { Clear(); }
  KeptMap(const KeptMap&) = delete;
  KeptMap& operator=(const KeptMap&) = delete;

  // Null (Value{}) on a miss; a hit becomes the most recent entry.
  Value Find(const Key& key) {
    auto it = m_index.find(key);
    if (it == m_index.end()) return Value{};
    m_entries.splice(m_entries.begin(), m_entries, it->second);
    return it->second->value;
  }
  // Takes ownership of `value`; the oldest entries go while the total cost is too high.
  void Add(const Key& key, Value value, std::size_t cost) {
    auto old = m_index.find(key);
    if (old != m_index.end()) Erase(old->second);
    m_entries.push_front(Entry{key, value, cost});
    m_index.emplace(key, m_entries.begin());
    m_nCost += cost;
    while (m_nCost > m_nMaxCost && m_entries.size() > 1) Erase(std::prev(m_entries.end()));
  }
  void Clear() {
    while (!m_entries.empty()) Erase(m_entries.begin());
  }
  std::size_t Size() const { return m_entries.size(); }

 private:
  struct Entry {
    Key key;
    Value value;
    std::size_t cost;
  };
  void Erase(typename std::list<Entry>::iterator it) {
    m_nCost -= it->cost;
    m_release(it->value);
    m_index.erase(it->key);
    m_entries.erase(it);
  }
  std::size_t m_nMaxCost;
  std::size_t m_nCost = 0;
  Release m_release;
  std::list<Entry> m_entries;  // most recent first
  std::unordered_map<Key, typename std::list<Entry>::iterator, Hash> m_index;
};

// What a text layout depends on.
struct LayoutKey {
  std::wstring text;
  std::wstring face;
  int size = 0;
  unsigned fontStyle = 0;  // bold 1, italic 2, underline 4, no font 8
  unsigned format = 0;
  int width = 0;
  int height = 0;
  bool operator==(const LayoutKey& o) const {
    return size == o.size && fontStyle == o.fontStyle && format == o.format && width == o.width &&
           height == o.height && text == o.text && face == o.face;
  }
};

struct LayoutKeyHash {
  std::size_t operator()(const LayoutKey& k) const {
    std::size_t h = std::hash<std::wstring>()(k.text);
    h = Mix(h, std::hash<std::wstring>()(k.face));
    h = Mix(h, static_cast<std::size_t>(k.size));
    h = Mix(h, k.fontStyle);
    h = Mix(h, k.format);
    h = Mix(h, static_cast<uint32_t>(k.width));
    return Mix(h, static_cast<uint32_t>(k.height));
  }
};

// A stretched piece as drawn onto a surface: which pixels, which part, where.
struct PieceKey {
  uint64_t id = 0;
  const uint32_t* pixels = nullptr;
  int width = 0, height = 0, stride = 0;
  RECT source{};
  RECT dest{};
  RECT extent{};  // dest inside the surface: the part kept
  bool smooth = false;
  bool operator==(const PieceKey& o) const {
    return id == o.id && pixels == o.pixels && width == o.width && height == o.height && stride == o.stride &&
           SameRect(source, o.source) && SameRect(dest, o.dest) && SameRect(extent, o.extent) && smooth == o.smooth;
  }
};

struct PieceKeyHash {
  std::size_t operator()(const PieceKey& k) const {
    std::size_t h = std::hash<uint64_t>()(k.id);
    h = Mix(h, reinterpret_cast<std::uintptr_t>(k.pixels));
    h = HashRect(h, k.source);
    h = HashRect(h, k.dest);
    h = HashRect(h, k.extent);
    return Mix(h, k.smooth ? 1 : 0);
  }
};

// Labels and buttons of a few windows fit easily; the bounds keep a window that
// keeps changing its texts or piece positions from growing the thread's memory.
constexpr std::size_t kMaxKeptLayoutCost = 16 * 1024;  // characters + 64 per layout
constexpr std::size_t kMaxLayoutTextChars = 4096;
constexpr std::size_t kMaxKeptPieceBytes = 8u << 20;
constexpr std::size_t kMaxPieceBytes = 2u << 20;

// Text context, kept layouts and kept pieces of one thread: Pango's font maps are
// per thread, and so is the UI.
struct ThreadDrawing {
  bool shortcuts = true;
  PangoContext* context = nullptr;
  // What the context was last brought up to date with (pango_cairo_update_context
  // re-lays out every layout of the context, so it runs only when these change).
  bool synced = false;
  cairo_matrix_t matrix{};
  cairo_font_options_t* surfaceOptions = nullptr;
  KeptMap<LayoutKey, PangoLayout*, LayoutKeyHash> layouts{kMaxKeptLayoutCost,
                                                          [](PangoLayout* l) { g_object_unref(l); }};
  KeptMap<PieceKey, cairo_surface_t*, PieceKeyHash> pieces{kMaxKeptPieceBytes,
                                                           [](cairo_surface_t* s) { cairo_surface_destroy(s); }};

  ~ThreadDrawing() {
    layouts.Clear();
    pieces.Clear();
    if (surfaceOptions != nullptr) cairo_font_options_destroy(surfaceOptions);
    if (context != nullptr) g_object_unref(context);
  }
};

ThreadDrawing& Drawing() {
  thread_local ThreadDrawing drawing;
  return drawing;
}

PangoContext* TextContext() {
  // One per thread for drawing and measuring: a fresh context per paint would lose
  // Pango's font-set caches and cost milliseconds now and then.
  ThreadDrawing& d = Drawing();
  if (d.context == nullptr) {
    InstallFontAliases();
    d.context = pango_font_map_create_context(pango_cairo_font_map_get_default());
    PrepareContext(d.context);
  }
  return d.context;
}

// Brings the context up to date with the drawing's transformation and the target's
// font options, as pango_cairo_update_context does, but only when they changed.
PangoContext* TextContextFor(cairo_t* cr) {
  ThreadDrawing& d = Drawing();
  PangoContext* context = TextContext();
  cairo_matrix_t matrix;
  cairo_get_matrix(cr, &matrix);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_surface_get_font_options(cairo_get_target(cr), options);
  const bool same = d.synced && std::memcmp(&matrix, &d.matrix, sizeof matrix) == 0 &&
                    cairo_font_options_equal(options, d.surfaceOptions);
  if (same) {
    cairo_font_options_destroy(options);
  } else {
    pango_cairo_update_context(cr, context);
    if (d.surfaceOptions != nullptr) cairo_font_options_destroy(d.surfaceOptions);
    d.surfaceOptions = options;
    d.matrix = matrix;
    d.synced = true;
  }
  return context;
}

// The layout for DrawText: a kept one when the shortcuts are on. Returns a new
// reference.
PangoLayout* LayoutFor(PangoContext* context, const std::wstring& text, const SkinFont* font, unsigned format,
                       int width, int height) {
  ThreadDrawing& d = Drawing();
  if (!d.shortcuts || text.size() > kMaxLayoutTextChars) {
    return MakeLayout(context, text, font, format, width, height);
  }
  LayoutKey key;
  key.text = text;
  if (font != nullptr) {
    key.face = font->Face();
    key.size = font->Size();
    key.fontStyle = (font->Bold() ? 1u : 0u) | (font->Italic() ? 2u : 0u) | (font->Underline() ? 4u : 0u);
  } else {
    key.fontStyle = 8;
  }
  key.format = format;
  key.width = width;
  key.height = height;
  if (PangoLayout* kept = d.layouts.Find(key)) return static_cast<PangoLayout*>(g_object_ref(kept));
  PangoLayout* layout = MakeLayout(context, text, font, format, width, height);
  g_object_ref(layout);
  d.layouts.Add(key, layout, text.size() + 64);
  return layout;
}

// The general bitmap path: source-over of the piece `s` of `src` stretched onto `dst`.
void PaintPiece(cairo_t* cr, const BitmapView& src, const RECT& s, const RECT& dst, uint8_t fade, bool smooth) {
  const int sw = RectWidth(s), sh = RectHeight(s);
  const int dw = RectWidth(dst), dh = RectHeight(dst);
  cairo_surface_t* image = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(src.pixels)), CAIRO_FORMAT_ARGB32, src.width,
      src.height, src.stride);
  // A sub-surface keeps neighbouring parts of the image out of the filter.
  cairo_surface_t* part = cairo_surface_create_for_rectangle(image, s.left, s.top, sw, sh);
  cairo_save(cr);
  cairo_rectangle(cr, dst.left, dst.top, dw, dh);
  cairo_clip(cr);
  cairo_translate(cr, dst.left, dst.top);
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

// Copies rows of `width` pixels; strides in bytes.
void CopyRows(const uint32_t* from, int fromStride, uint32_t* to, int toStride, int width, int rows) {
  for (int y = 0; y < rows; ++y) {
    std::memcpy(reinterpret_cast<unsigned char*>(to) + static_cast<std::size_t>(y) * toStride,
                reinterpret_cast<const unsigned char*>(from) + static_cast<std::size_t>(y) * fromStride,
                static_cast<std::size_t>(width) * 4);
  }
}

// The stretched piece as the general path paints it onto a surface of `surfaceWidth`
// x `surfaceHeight`, with the fade left out, or null. It is painted at the same place
// on a transparent scratch surface of that size, because the filter's sampling
// positions depend on where the piece lands; source-over onto transparent pixels
// leaves the filtered values themselves.
cairo_surface_t* RenderPiece(const BitmapView& src, const RECT& s, const RECT& dst, const RECT& extent,
                             int surfaceWidth, int surfaceHeight, bool smooth) {
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, surfaceWidth, surfaceHeight);
  if (cairo_surface_status(scratch) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(scratch);
    return nullptr;
  }
  cairo_t* cr = cairo_create(scratch);
  cairo_rectangle(cr, extent.left, extent.top, RectWidth(extent), RectHeight(extent));
  cairo_clip(cr);
  PaintPiece(cr, src, s, dst, 255, smooth);
  cairo_destroy(cr);
  cairo_surface_flush(scratch);

  cairo_surface_t* piece = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, RectWidth(extent), RectHeight(extent));
  if (cairo_surface_status(piece) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(piece);
    cairo_surface_destroy(scratch);
    return nullptr;
  }
  cairo_surface_flush(piece);
  const int scratchStride = cairo_image_surface_get_stride(scratch);
  const unsigned char* origin = cairo_image_surface_get_data(scratch) +
                                static_cast<std::size_t>(extent.top) * scratchStride +
                                static_cast<std::size_t>(extent.left) * 4;
  CopyRows(reinterpret_cast<const uint32_t*>(origin), scratchStride,
           reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(piece)), cairo_image_surface_get_stride(piece),
           RectWidth(extent), RectHeight(extent));
  cairo_surface_mark_dirty(piece);
  cairo_surface_destroy(scratch);
  return piece;
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
  // The clip as the shortcuts see it, one per depth: its bounding box, and whether
  // it is exactly that box (only rectangles were pushed).
  struct Clip {
    RECT box;
    bool exact;
  };
  std::vector<Clip> clips;

  ~Impl() {
    if (cr != nullptr) cairo_destroy(cr);
  }
};

CPaintDC::CPaintDC(CSurfaceUI& surface) : m_surface(surface), m_pImpl(std::make_unique<Impl>()) {
  if (surface.m_pImpl->surface != nullptr) {
    m_pImpl->cr = cairo_create(surface.m_pImpl->surface);
    m_pImpl->clips.push_back(Impl::Clip{RECT{0, 0, surface.Width(), surface.Height()}, true});
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
  const Impl::Clip& top = m_pImpl->clips.back();
  m_pImpl->clips.push_back(Impl::Clip{Intersect(top.box, rect), top.exact});
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
  const Impl::Clip& top = m_pImpl->clips.back();
  m_pImpl->clips.push_back(Impl::Clip{Intersect(Intersect(top.box, rect), round), false});
  return ++m_pImpl->depth;
}

void CPaintDC::PopClipTo(int depth) {
  cairo_t* cr = m_pImpl->cr;
  if (cr == nullptr || depth <= 0) return;
  while (m_pImpl->depth >= depth) {
    cairo_restore(cr);
    m_pImpl->clips.pop_back();
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
  const bool scaled = sw != dw || sh != dh;
  const Impl::Clip& clip = m_pImpl->clips.back();
  CSurfaceUI::Impl& target = *m_surface.m_pImpl;

  if (Drawing().shortcuts) {
    if (!scaled && src.opaque && fade == 255 && clip.exact) {
      // Source-over of opaque pixels is a copy.
      const RECT area = Intersect(dstRect, clip.box);
      if (IsEmptyRect(area)) return;
      cairo_surface_flush(target.surface);
      const uint32_t* from = reinterpret_cast<const uint32_t*>(
          reinterpret_cast<const unsigned char*>(src.pixels) +
          static_cast<std::size_t>(s.top + area.top - dstRect.top) * src.stride) +
                             (s.left + area.left - dstRect.left);
      uint32_t* to = target.pixels.data() + static_cast<std::size_t>(area.top) * (target.stride / 4) + area.left;
      CopyRows(from, src.stride, to, target.stride, RectWidth(area), RectHeight(area));
      cairo_surface_mark_dirty_rectangle(target.surface, area.left, area.top, RectWidth(area), RectHeight(area));
      return;
    }
    const RECT extent = Intersect(dstRect, RECT{0, 0, target.width, target.height});
    const std::size_t bytes = static_cast<std::size_t>(RectWidth(extent)) * RectHeight(extent) * 4;
    // The filter's sampling positions depend on the part of the piece the clip
    // leaves, so a kept piece stands in only where the clip leaves all of it.
    if (scaled && src.cacheId != 0 && !IsEmptyRect(extent) && bytes <= kMaxPieceBytes &&
        SameRect(Intersect(extent, clip.box), extent)) {
      // Stretching is the costly part: keep the stretched piece and blend it on.
      PieceKey key;
      key.id = src.cacheId;
      key.pixels = src.pixels;
      key.width = src.width;
      key.height = src.height;
      key.stride = src.stride;
      key.source = s;
      key.dest = dstRect;
      key.extent = extent;
      key.smooth = smooth;
      ThreadDrawing& d = Drawing();
      cairo_surface_t* piece = d.pieces.Find(key);
      if (piece == nullptr) {
        piece = RenderPiece(src, s, dstRect, extent, target.width, target.height, smooth);
        if (piece != nullptr) d.pieces.Add(key, piece, bytes);
      }
      if (piece != nullptr) {
        cairo_save(cr);
        cairo_rectangle(cr, extent.left, extent.top, RectWidth(extent), RectHeight(extent));
        cairo_clip(cr);
        cairo_set_source_surface(cr, piece, extent.left, extent.top);
        if (fade == 255) {
          cairo_paint(cr);
        } else {
          cairo_paint_with_alpha(cr, fade / 255.0);
        }
        cairo_restore(cr);
        return;
      }
    }
  }
  PaintPiece(cr, src, s, dstRect, fade, smooth);
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
  PangoContext* context = TextContextFor(cr);
  PangoLayout* layout = LayoutFor(context, text, font, format, width, height);
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

uint64_t NewBitmapCacheId() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

void CPaintDC::SetShortcuts(bool enabled) {
  ThreadDrawing& d = Drawing();
  if (!enabled) DropKeptDrawing();
  d.shortcuts = enabled;
}

bool CPaintDC::Shortcuts() { return Drawing().shortcuts; }

void CPaintDC::DropKeptDrawing() {
  ThreadDrawing& d = Drawing();
  d.layouts.Clear();
  d.pieces.Clear();
}

}  // namespace SkinUI
