// Draws the installer's artwork (skin images, brand images, icons) with cairo and
// pango. Still images are written as PNG/ICO; animations as numbered PNG frames
// that tools/artwork/generate.sh assembles into GIFs.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char* kFontFace = "WenQuanYi Micro Hei";

struct Rgb {
  double r, g, b;
};

constexpr Rgb Hex(uint32_t v) {
  return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

// The palette: a near-black neutral base, grey surfaces and a blue-to-cyan accent.
const Rgb kBase = Hex(0x1C1C1E);
const Rgb kSurface = Hex(0x2C2C2E);
const Rgb kSurfaceHot = Hex(0x34343A);
const Rgb kLine = Hex(0x48484A);
const Rgb kTextDim = Hex(0x8E8E93);
const Rgb kTextSoft = Hex(0xD1D1D6);
const Rgb kText = Hex(0xF2F2F7);
const Rgb kAccentA = Hex(0x2E7BFF);
const Rgb kAccentB = Hex(0x1FC2E8);
const Rgb kAccentHotA = Hex(0x4D91FF);
const Rgb kAccentHotB = Hex(0x46D2F2);
const Rgb kIndigo = Hex(0x5E5CE6);

// Where the brand emblem sits on the 600 x 422 pages (the "oempng" square).
constexpr double kEmblemX = 252, kEmblemY = 152, kEmblemSize = 96;
constexpr double kOrbitCx = 300, kOrbitCy = 200, kOrbitR = 70;

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

Surface NewSurface(int w, int h) {
  return Surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
}

void SetRgb(cairo_t* cr, Rgb c, double a = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

// Accent gradient along the line (x0,y0)-(x1,y1).
cairo_pattern_t* AccentGradient(double x0, double y0, double x1, double y1, Rgb a, Rgb b) {
  cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
  cairo_pattern_add_color_stop_rgb(p, 0, a.r, a.g, a.b);
  cairo_pattern_add_color_stop_rgb(p, 1, b.r, b.g, b.b);
  return p;
}

void RadialGlow(cairo_t* cr, double cx, double cy, double r, Rgb c, double alpha) {
  cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
  cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, alpha);
  cairo_pattern_add_color_stop_rgba(p, 0.45, c.r, c.g, c.b, alpha * 0.45);
  cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, 0);
  cairo_set_source(cr, p);
  cairo_paint(cr);
  cairo_pattern_destroy(p);
}

enum class Anchor { Centre, LeftMiddle };

// Text drawn with the CJK face, its layout box anchored at (x, y). Returns the
// layout's pixel width.
double DrawText(cairo_t* cr, const std::string& markup, double px, double x, double y, Rgb c,
                double alpha, Anchor anchor) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string(kFontFace);
  pango_font_description_set_absolute_size(font, px * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_markup(layout, markup.c_str(), -1);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  const double left = anchor == Anchor::Centre ? x - w / 2.0 : x;
  const double top = y - h / 2.0;
  cairo_move_to(cr, std::round(left), std::round(top));
  SetRgb(cr, c, alpha);
  pango_cairo_show_layout(cr, layout);
  pango_font_description_free(font);
  g_object_unref(layout);
  return w;
}

void SetTextOptions(cairo_t* cr) {
  cairo_font_options_t* o = cairo_font_options_create();
  cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, o);
  cairo_font_options_destroy(o);
}

// A stylised cloud of width w centred on (cx, cy), as one path.
void CloudPath(cairo_t* cr, double cx, double cy, double w) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx + 0.06 * w, cy - 0.06 * w, 0.25 * w, 0, 2 * kPi);
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx - 0.22 * w, cy + 0.06 * w, 0.17 * w, 0, 2 * kPi);
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx + 0.30 * w, cy + 0.09 * w, 0.15 * w, 0, 2 * kPi);
  RoundRect(cr, cx - 0.39 * w, cy + 0.02 * w, 0.84 * w, 0.22 * w, 0.11 * w);
}

enum class Glyph { Cloud, CloudDownload };

// The brand emblem: an accent squircle with a white cloud, filling a size x size
// square at (x, y). Large sizes get a soft glow and a glossy rim.
void DrawEmblem(cairo_t* cr, double x, double y, double size, Glyph glyph) {
  const bool small = size < 40;
  const double margin = small ? size * 0.04 : size * 0.09;
  const double s = size - 2 * margin;
  const double bx = x + margin, by = y + margin;
  const double radius = s * 0.25;
  cairo_save(cr);
  if (!small) {
    // Soft glow under the tile.
    for (int i = 6; i >= 1; --i) {
      RoundRect(cr, bx - i * 1.2, by - i * 1.2 + 2, s + i * 2.4, s + i * 2.4, radius + i * 1.2);
      SetRgb(cr, kAccentA, 0.035);
      cairo_fill(cr);
    }
  }
  RoundRect(cr, bx, by, s, s, radius);
  cairo_pattern_t* fill = AccentGradient(bx, by, bx + s, by + s, kAccentA, kAccentB);
  cairo_set_source(cr, fill);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(fill);
  // Upper sheen.
  cairo_pattern_t* sheen = cairo_pattern_create_linear(0, by, 0, by + s);
  cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, 0.22);
  cairo_pattern_add_color_stop_rgba(sheen, 0.55, 1, 1, 1, 0.0);
  cairo_set_source(cr, sheen);
  cairo_fill(cr);
  cairo_pattern_destroy(sheen);
  if (!small) {
    RoundRect(cr, bx + 0.5, by + 0.5, s - 1, s - 1, radius - 0.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  const double cx = bx + s / 2, cy = by + s / 2 - s * 0.04;
  const double cw = s * 0.66;
  if (!small) {
    // Drop shadow of the cloud inside the tile.
    cairo_save(cr);
    cairo_translate(cr, 0, s * 0.025);
    CloudPath(cr, cx, cy, cw);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_set_source_rgba(cr, 0.05, 0.2, 0.5, 0.25);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  CloudPath(cr, cx, cy, cw);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_fill(cr);
  if (glyph == Glyph::CloudDownload) {
    const double ax = cx + 0.02 * cw, top = cy - 0.14 * cw, bottom = cy + 0.14 * cw;
    const double lw = std::max(1.2, cw * 0.085);
    cairo_set_line_width(cr, lw);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetRgb(cr, kAccentA);
    cairo_move_to(cr, ax, top);
    cairo_line_to(cr, ax, bottom);
    cairo_move_to(cr, ax - 0.11 * cw, bottom - 0.11 * cw);
    cairo_line_to(cr, ax, bottom);
    cairo_line_to(cr, ax + 0.11 * cw, bottom - 0.11 * cw);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

// Deterministic pseudo-random numbers for the dot field and the sparkles.
struct Lcg {
  uint32_t state;
  double Next() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
  }
};

// The page backdrop in page coordinates (0,0 = the window's top-left), so that
// crops of it line up across images: background.png, background2.png, the banner
// and the spinner frames.
void DrawBackdrop(cairo_t* cr) {
  SetRgb(cr, kBase);
  cairo_paint(cr);
  RadialGlow(cr, kOrbitCx, kOrbitCy, 330, kAccentA, 0.17);
  RadialGlow(cr, 560, -30, 260, kAccentB, 0.07);
  RadialGlow(cr, 30, 470, 300, kIndigo, 0.06);
  // A fine dot grid that fades away from the centre.
  for (int gy = 8; gy < 560; gy += 16) {
    for (int gx = 8; gx < 600; gx += 16) {
      double d = std::hypot(gx - kOrbitCx, gy - kOrbitCy);
      // Faded out above y 312: the layouts stretch the image of the lower band
      // (background2.png), and stretched dots would turn into smudges.
      const double fade = std::clamp((312.0 - gy) / 70.0, 0.0, 1.0);
      double a = 0.075 * std::exp(-d * d / (2 * 190.0 * 190.0)) * fade * fade;
      if (d < 62 || a <= 0) continue;  // keep the emblem's surroundings calm
      cairo_arc(cr, gx, gy, 0.9, 0, 2 * kPi);
      cairo_set_source_rgba(cr, 1, 1, 1, a);
      cairo_fill(cr);
    }
  }
  // Faint rings around the emblem.
  cairo_set_line_width(cr, 1);
  cairo_arc(cr, kOrbitCx, kOrbitCy, kOrbitR, 0, 2 * kPi);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
  cairo_stroke(cr);
  cairo_arc(cr, kOrbitCx, kOrbitCy, 112, 0, 2 * kPi);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.03);
  cairo_stroke(cr);
}

void DrawTitle(cairo_t* cr, double x, double y) {
  DrawEmblem(cr, x + 8, y + 4, 17, Glyph::Cloud);
  DrawText(cr, "<b>Tarvolen</b> 云电脑", 13, x + 32, y + 12.5, kText, 0.92, Anchor::LeftMiddle);
}

bool MakeDir(const std::string& path) { return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST; }

bool WritePng(cairo_surface_t* s, const std::string& path) {
  cairo_surface_flush(s);
  if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "artwork: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

using Painter = std::function<void(cairo_t*)>;

Surface Render(int w, int h, const Painter& paint) {
  Surface s = NewSurface(w, h);
  Context cr(cairo_create(s.get()));
  SetTextOptions(cr.get());
  paint(cr.get());
  return s;
}

bool Png(const std::string& path, int w, int h, const Painter& paint) {
  Surface s = Render(w, h, paint);
  return WritePng(s.get(), path);
}

// --- ICO -------------------------------------------------------------------------

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// One 32-bit BMP entry: BITMAPINFOHEADER, straight-alpha BGRA rows bottom-up, then
// the 1-bit AND mask (set where the pixel is fully transparent).
std::vector<uint8_t> IconEntry(cairo_surface_t* s) {
  cairo_surface_flush(s);
  const int w = cairo_image_surface_get_width(s);
  const int h = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  const uint8_t* px = cairo_image_surface_get_data(s);
  const int maskStride = ((w + 31) / 32) * 4;
  std::vector<uint8_t> b;
  Put32(b, 40);
  Put32(b, w);
  Put32(b, 2 * h);
  Put16(b, 1);
  Put16(b, 32);
  Put32(b, 0);
  Put32(b, w * h * 4 + maskStride * h);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  for (int y = h - 1; y >= 0; --y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(px + y * stride);
    for (int x = 0; x < w; ++x) {
      uint32_t p = row[x];
      uint32_t a = p >> 24;
      auto un = [a](uint32_t c) -> uint8_t { return a ? static_cast<uint8_t>((c * 255 + a / 2) / a) : 0; };
      b.push_back(un(p & 0xFF));
      b.push_back(un((p >> 8) & 0xFF));
      b.push_back(un((p >> 16) & 0xFF));
      b.push_back(static_cast<uint8_t>(a));
    }
  }
  for (int y = h - 1; y >= 0; --y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(px + y * stride);
    std::vector<uint8_t> mask(maskStride, 0);
    for (int x = 0; x < w; ++x)
      if ((row[x] >> 24) == 0) mask[x / 8] |= 0x80 >> (x % 8);
    b.insert(b.end(), mask.begin(), mask.end());
  }
  return b;
}

bool WriteIco(const std::string& path, const std::vector<int>& sizes, Glyph glyph) {
  std::vector<std::vector<uint8_t>> entries;
  for (int size : sizes) {
    Surface s = Render(size, size, [&](cairo_t* cr) { DrawEmblem(cr, 0, 0, size, glyph); });
    entries.push_back(IconEntry(s.get()));
  }
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(sizes.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    out.push_back(static_cast<uint8_t>(sizes[i] & 0xFF));  // 256 is written as 0
    out.push_back(static_cast<uint8_t>(sizes[i] & 0xFF));
    out.push_back(0);
    out.push_back(0);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, static_cast<uint32_t>(entries[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(entries[i].size());
  }
  for (const auto& e : entries) out.insert(out.end(), e.begin(), e.end());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "artwork: cannot write %s\n", path.c_str());
    return false;
  }
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

// --- the images ------------------------------------------------------------------

// Two comets circling the emblem and a few twinkling sparkles; phase in [0, 1).
void DrawBannerMotion(cairo_t* cr, double phase) {
  struct Comet {
    double offset, head, length;
    Rgb colour;
  };
  const Comet comets[] = {{0.0, 3.2, 1.5, kAccentB}, {0.5, 2.2, 1.1, Hex(0x8D8BFF)}};
  for (const Comet& c : comets) {
    const double angle = 2 * kPi * (phase + c.offset) - kPi / 2;
    const int steps = 28;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < steps; ++i) {
      double t0 = static_cast<double>(i) / steps, t1 = static_cast<double>(i + 1) / steps;
      double a0 = angle - c.length * (1 - t0), a1 = angle - c.length * (1 - t1);
      cairo_arc(cr, kOrbitCx, kOrbitCy, kOrbitR, a0, a1);
      cairo_set_line_width(cr, 0.6 + c.head * 0.55 * t1);
      SetRgb(cr, c.colour, 0.55 * t1 * t1);
      cairo_stroke(cr);
    }
    const double hx = kOrbitCx + kOrbitR * std::cos(angle), hy = kOrbitCy + kOrbitR * std::sin(angle);
    cairo_pattern_t* glow = cairo_pattern_create_radial(hx, hy, 0, hx, hy, c.head * 3.2);
    cairo_pattern_add_color_stop_rgba(glow, 0, c.colour.r, c.colour.g, c.colour.b, 0.5);
    cairo_pattern_add_color_stop_rgba(glow, 1, c.colour.r, c.colour.g, c.colour.b, 0);
    cairo_set_source(cr, glow);
    cairo_arc(cr, hx, hy, c.head * 3.2, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
    cairo_arc(cr, hx, hy, c.head, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.95);
    cairo_fill(cr);
  }
  Lcg rng{20240611u};
  for (int i = 0; i < 14; ++i) {
    double x = 30 + rng.Next() * 540, y = 40 + rng.Next() * 230;
    double start = rng.Next(), size = 0.8 + rng.Next() * 1.1;
    if (std::hypot(x - kOrbitCx, y - kOrbitCy) < 130 || (y > 245 && x > 180 && x < 420)) continue;
    double a = 0.5 + 0.5 * std::sin(2 * kPi * (phase + start));
    cairo_arc(cr, x, y, size, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0.75, 0.88, 1.0, 0.15 + 0.55 * a * a);
    cairo_fill(cr);
  }
}

void DrawBannerStill(cairo_t* cr) {
  DrawBackdrop(cr);
  DrawTitle(cr, 0, 0);
  DrawEmblem(cr, kEmblemX, kEmblemY, kEmblemSize, Glyph::Cloud);
  DrawText(cr, "云端算力 · 随时随地", 15, 300, 291, kTextSoft, 0.85, Anchor::Centre);
}

void DrawSpinner(cairo_t* cr, double phase) {
  const double cx = 10, cy = 10, r = 7;
  cairo_set_line_width(cr, 2.2);
  cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
  cairo_stroke(cr);
  const double start = 2 * kPi * phase - kPi / 2;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  const int steps = 16;
  const double sweep = 1.7 * kPi / 2;
  for (int i = 0; i < steps; ++i) {
    double t = static_cast<double>(i + 1) / steps;
    cairo_arc(cr, cx, cy, r, start + sweep * i / steps, start + sweep * (i + 1) / steps);
    Rgb c{kAccentA.r + (kAccentB.r - kAccentA.r) * t, kAccentA.g + (kAccentB.g - kAccentA.g) * t,
          kAccentA.b + (kAccentB.b - kAccentA.b) * t};
    SetRgb(cr, c, 0.25 + 0.75 * t);
    cairo_stroke(cr);
  }
}

void DrawChevron(cairo_t* cr, bool down) {
  cairo_set_line_width(cr, 1.4);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  SetRgb(cr, kTextSoft);
  if (down) {
    cairo_move_to(cr, 1, 1.5);
    cairo_line_to(cr, 4, 4.5);
    cairo_line_to(cr, 7, 1.5);
  } else {
    cairo_move_to(cr, 1, 4.5);
    cairo_line_to(cr, 4, 1.5);
    cairo_line_to(cr, 7, 4.5);
  }
  cairo_stroke(cr);
}

void DrawCross(cairo_t* cr, Rgb c) {
  cairo_set_line_width(cr, 1.4);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  SetRgb(cr, c);
  cairo_move_to(cr, 2, 2);
  cairo_line_to(cr, 11, 11);
  cairo_move_to(cr, 11, 2);
  cairo_line_to(cr, 2, 11);
  cairo_stroke(cr);
}

void DrawButton(cairo_t* cr, int w, int h, Rgb a, Rgb b, bool accent) {
  RoundRect(cr, 0, 0, w, h, 4);
  if (accent) {
    cairo_pattern_t* p = AccentGradient(0, 0, w, h * 0.4, a, b);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
  } else {
    SetRgb(cr, a);
    cairo_fill_preserve(cr);
  }
  cairo_pattern_t* sheen = cairo_pattern_create_linear(0, 0, 0, h);
  cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, accent ? 0.14 : 0.05);
  cairo_pattern_add_color_stop_rgba(sheen, 0.5, 1, 1, 1, 0);
  cairo_pattern_add_color_stop_rgba(sheen, 1, 0, 0, 0, accent ? 0.10 : 0.0);
  cairo_set_source(cr, sheen);
  cairo_fill(cr);
  cairo_pattern_destroy(sheen);
  RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 3.5);
  if (accent) {
    cairo_set_source_rgba(cr, 1, 1, 1, 0.16);
  } else {
    SetRgb(cr, b);
  }
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void DrawBrowseButton(cairo_t* cr, bool hot) {
  RoundRect(cr, 0.5, 0.5, 59, 31, 2.5);
  SetRgb(cr, hot ? kSurfaceHot : kSurface);
  cairo_fill_preserve(cr);
  SetRgb(cr, hot ? kAccentA : kLine);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  DrawText(cr, "浏览", 14, 30, 16, hot ? kText : kTextSoft, 1.0, Anchor::Centre);
}

void DrawCheckBox(cairo_t* cr, bool checked) {
  RoundRect(cr, 1, 1, 14, 14, 3.5);
  if (checked) {
    cairo_pattern_t* p = AccentGradient(1, 1, 15, 15, kAccentA, kAccentB);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_width(cr, 1.7);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, 4.4, 8.2);
    cairo_line_to(cr, 6.9, 10.7);
    cairo_line_to(cr, 11.6, 5.6);
    cairo_stroke(cr);
  } else {
    cairo_set_source_rgba(cr, 1, 1, 1, 0.04);
    cairo_fill(cr);
    RoundRect(cr, 1.5, 1.5, 13, 13, 3);
    SetRgb(cr, kTextDim);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
  }
}

void DrawDoneMark(cairo_t* cr) {
  cairo_arc(cr, 9, 9, 8.5, 0, 2 * kPi);
  cairo_pattern_t* p = AccentGradient(0, 0, 18, 18, kAccentB, kAccentA);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  cairo_set_line_width(cr, 1.8);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_move_to(cr, 5.2, 9.3);
  cairo_line_to(cr, 7.9, 12.0);
  cairo_line_to(cr, 12.9, 6.4);
  cairo_stroke(cr);
}

// Nine-grid drop shadow: the window occupies the hole; the borders (left 23,
// top 13, right 23, bottom 33) hold a soft shadow shifted slightly down. Separable,
// so every edge slice is uniform along its length and stretches cleanly.
void DrawShadow(cairo_surface_t* s) {
  const int w = 86, h = 86, left = 23, top = 13, right = 23, bottom = 33;
  const double offsetY = 5, sigmaX = 7, sigmaY = 8.5, strength = 0.5;
  auto profile = [](double d, double sigma) { return 0.5 * std::erfc(d / (sigma * std::sqrt(2.0))); };
  cairo_surface_flush(s);
  uint8_t* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      // Signed distances outside the shadow's rectangle (negative inside it).
      const double dx = std::max(left - px, px - (w - right));
      const double dy = std::max(top + offsetY - py, py - (h - bottom + offsetY));
      const bool inside = px >= left && px <= w - right && py >= top && py <= h - bottom;
      double a = inside ? 0 : strength * profile(dx, sigmaX) * profile(dy, sigmaY);
      uint32_t alpha = static_cast<uint32_t>(std::lround(std::min(1.0, a) * 255));
      reinterpret_cast<uint32_t*>(data + y * stride)[x] = alpha << 24;  // black, premultiplied
    }
  }
  cairo_surface_mark_dirty(s);
}

void DrawBootBackground(cairo_t* cr) {
  const double w = 1280, h = 720;
  SetRgb(cr, kBase);
  cairo_paint(cr);
  RadialGlow(cr, w / 2, h * 0.44, 620, kAccentA, 0.2);
  RadialGlow(cr, w * 0.95, -60, 520, kAccentB, 0.08);
  RadialGlow(cr, 40, h + 60, 560, kIndigo, 0.08);
  for (int gy = 12; gy < h; gy += 24) {
    for (int gx = 12; gx < w; gx += 24) {
      double d = std::hypot(gx - w / 2, gy - h * 0.44);
      if (d < 130) continue;
      cairo_arc(cr, gx, gy, 1.1, 0, 2 * kPi);
      cairo_set_source_rgba(cr, 1, 1, 1, 0.07 * std::exp(-d * d / (2 * 380.0 * 380.0)));
      cairo_fill(cr);
    }
  }
  const double cx = w / 2, cy = h * 0.40;
  cairo_set_line_width(cr, 1.2);
  for (double r : {140.0, 220.0}) {
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 1, 1, 1, r < 200 ? 0.07 : 0.035);
    cairo_stroke(cr);
  }
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 3);
  cairo_arc(cr, cx, cy, 140, -kPi / 2, -kPi / 2 + 1.2);
  cairo_pattern_t* arc = AccentGradient(cx, cy - 140, cx + 140, cy, kAccentB, kAccentA);
  cairo_set_source(cr, arc);
  cairo_stroke(cr);
  cairo_pattern_destroy(arc);
  DrawEmblem(cr, cx - 88, cy - 88, 176, Glyph::Cloud);
  DrawText(cr, "<b>Tarvolen</b> 云电脑", 40, cx, cy + 205, kText, 0.96, Anchor::Centre);
  DrawText(cr, "云端算力 · 随时随地 · 即点即用", 20, cx, cy + 255, kTextDim, 1.0, Anchor::Centre);
}

// GIF frames are quantised to one palette without error diffusion (which would
// change every frame below a moving pixel). A fixed ordered pattern, the same in
// every frame, breaks up the bands of the dark gradients instead.
void AddOrderedNoise(cairo_surface_t* s, double amplitude) {
  static const int kBayer[8][8] = {
      {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
      {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
      {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
      {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
  cairo_surface_flush(s);
  uint8_t* data = cairo_image_surface_get_data(s);
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < h; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + y * stride);
    for (int x = 0; x < w; ++x) {
      const double n = ((kBayer[y & 7][x & 7] + 0.5) / 64.0 - 0.5) * amplitude;
      uint32_t p = row[x];
      uint32_t out = p & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        long c = std::lround(((p >> shift) & 0xFF) + n);
        out |= static_cast<uint32_t>(std::clamp(c, 0L, 255L)) << shift;
      }
      row[x] = out;
    }
  }
  cairo_surface_mark_dirty(s);
}

bool Frames(const std::string& dir, int count, int w, int h, double noise,
            const std::function<void(cairo_t*, double)>& paint) {
  if (!MakeDir(dir)) return false;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/%03d.png", i);
    Surface s = Render(w, h, [&](cairo_t* cr) { paint(cr, static_cast<double>(i) / count); });
    AddOrderedNoise(s.get(), noise);
    if (!WritePng(s.get(), dir + name)) return false;
  }
  return true;
}

}  // namespace

// artwork <res-folder> <frames-folder>
int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <res-folder> <frames-folder>\n", argv[0]);
    return 2;
  }
  const std::string res = argv[1];
  const std::string skin = res + "/skin/";
  const std::string frames = argv[2];
  if (!MakeDir(skin) || !MakeDir(res + "/icons") || !MakeDir(frames)) return 1;

  bool ok = true;
  ok &= Png(skin + "background.png", 600, 422, DrawBackdrop);
  ok &= Png(skin + "background2.png", 600, 210, [](cairo_t* cr) {
    cairo_translate(cr, 0, -312);
    DrawBackdrop(cr);
  });
  ok &= Png(skin + "Complete.png", 18, 18, DrawDoneMark);
  ok &= Png(skin + "close_n.png", 13, 13, [](cairo_t* cr) { DrawCross(cr, kTextDim); });
  ok &= Png(skin + "close_o.png", 13, 13, [](cairo_t* cr) { DrawCross(cr, kText); });
  ok &= Png(skin + "btn_normal.png", 200, 50, [](cairo_t* cr) { DrawButton(cr, 200, 50, kAccentA, kAccentB, true); });
  ok &= Png(skin + "btn_hot.png", 200, 50, [](cairo_t* cr) { DrawButton(cr, 200, 50, kAccentHotA, kAccentHotB, true); });
  // A disabled control gets the framework's light grey background under its image,
  // so this one is opaque: its corners carry the page behind the install button.
  ok &= Png(skin + "btn_dis.png", 200, 50, [](cairo_t* cr) {
    cairo_save(cr);
    cairo_translate(cr, -200, -340);
    DrawBackdrop(cr);
    cairo_restore(cr);
    DrawButton(cr, 200, 50, Hex(0x3A3A3C), Hex(0x4A4A4D), false);
  });
  ok &= Png(skin + "btn_path_normal.png", 60, 32, [](cairo_t* cr) { DrawBrowseButton(cr, false); });
  ok &= Png(skin + "btn_path_hot.png", 60, 32, [](cairo_t* cr) { DrawBrowseButton(cr, true); });
  ok &= Png(skin + "expand.png", 8, 6, [](cairo_t* cr) { DrawChevron(cr, true); });
  ok &= Png(skin + "reduce.png", 8, 6, [](cairo_t* cr) { DrawChevron(cr, false); });
  ok &= Png(skin + "unchecked.png", 16, 16, [](cairo_t* cr) { DrawCheckBox(cr, false); });
  ok &= Png(skin + "checked.png", 16, 16, [](cairo_t* cr) { DrawCheckBox(cr, true); });
  ok &= Png(skin + "progress_bk.png", 600, 5, [](cairo_t* cr) {
    SetRgb(cr, Hex(0x2A2A2D));
    cairo_paint(cr);
    cairo_rectangle(cr, 0, 0, 600, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
  });
  ok &= Png(skin + "progress.png", 600, 5, [](cairo_t* cr) {
    cairo_pattern_t* p = AccentGradient(0, 0, 600, 0, kAccentA, kAccentB);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    cairo_rectangle(cr, 0, 0, 600, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
    cairo_fill(cr);
  });
  {
    Surface s = NewSurface(86, 86);
    DrawShadow(s.get());
    ok &= WritePng(s.get(), skin + "shadow.png");
  }
  ok &= Png(res + "/lefttitle.png", 200, 25, [](cairo_t* cr) { DrawTitle(cr, 0, 0); });
  ok &= Png(res + "/oem.png", 96, 96, [](cairo_t* cr) { DrawEmblem(cr, 0, 0, 96, Glyph::Cloud); });
  ok &= Png(res + "/boot_background_game.png", 1280, 720, DrawBootBackground);
  ok &= WriteIco(res + "/icons/app.ico", {16, 24, 32, 48, 64, 128}, Glyph::CloudDownload);
  ok &= WriteIco(res + "/icons/cloud.ico", {16, 32, 48, 64}, Glyph::Cloud);

  // Animations: the banner of the install and progress pages, and the check
  // page's spinner drawn over the exact part of the backdrop it covers.
  ok &= Frames(frames + "/playPhoto", 36, 600, 312, 5.0, [](cairo_t* cr, double phase) {
    DrawBannerStill(cr);
    DrawBannerMotion(cr, phase);
  });
  ok &= Frames(frames + "/environment", 12, 20, 20, 3.0, [](cairo_t* cr, double phase) {
    cairo_save(cr);
    cairo_translate(cr, -290, -267);
    DrawBackdrop(cr);
    cairo_restore(cr);
    DrawSpinner(cr, phase);
  });
  return ok ? 0 : 1;
}
