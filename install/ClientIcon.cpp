// The shortcut icon: picks and renders one image of the packaged ICO at the
// size asked for and writes it as a single-image ICO file.
#include <cstdlib>
#include <cstring>

#include "install/SystemIntegration.h"
#include "platform/Files.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(std::vector<uint8_t>& o, uint32_t v) {
  o.push_back(static_cast<uint8_t>(v));
  o.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& o, uint32_t v) {
  Put16(o, v & 0xFFFF);
  Put16(o, v >> 16);
}

// Straight (not premultiplied) RGBA, top row first.
struct Rgba {
  int w = 0, h = 0;
  std::vector<uint8_t> px;
};

bool DecodePng(const uint8_t* data, size_t size, Rgba* out) {
  int w, h, n;
  stbi_uc* p = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &n, 4);
  if (!p) return false;
  out->w = w;
  out->h = h;
  out->px.assign(p, p + static_cast<size_t>(w) * h * 4);
  stbi_image_free(p);
  return w > 0 && h > 0;
}

// A DIB icon image: BITMAPINFOHEADER with doubled height, optional palette,
// XOR bitmap, AND mask.
bool DecodeDib(const uint8_t* data, size_t size, Rgba* out) {
  if (size < 40 || U32(data) < 40) return false;
  uint32_t hdr = U32(data);
  int32_t w = static_cast<int32_t>(U32(data + 4));
  int32_t h2 = static_cast<int32_t>(U32(data + 8));
  int bpp = U16(data + 14);
  uint32_t compression = U32(data + 16);
  uint32_t used = U32(data + 32);
  if (w <= 0 || w > 1024 || h2 <= 0 || h2 > 2048 || compression != 0) return false;
  int h = h2 / 2;
  if (h <= 0) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
  size_t paletteCount = bpp <= 8 ? (used ? used : (1u << bpp)) : 0;
  size_t offset = hdr + paletteCount * 4;
  size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  size_t maskStride = ((static_cast<size_t>(w) + 31) / 32) * 4;
  if (offset + stride * h > size) return false;
  const uint8_t* palette = data + hdr;
  const uint8_t* bits = data + offset;
  const uint8_t* mask = bits + stride * h;
  bool haveMask = offset + stride * h + maskStride * h <= size;
  out->w = w;
  out->h = h;
  out->px.assign(static_cast<size_t>(w) * h * 4, 0);
  bool anyAlpha = false;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = bits + stride * (h - 1 - y);  // stored bottom-up
    for (int x = 0; x < w; ++x) {
      uint8_t* d = &out->px[(static_cast<size_t>(y) * w + x) * 4];
      uint8_t b, g, r, a = 255;
      if (bpp == 32) {
        b = row[x * 4]; g = row[x * 4 + 1]; r = row[x * 4 + 2]; a = row[x * 4 + 3];
        anyAlpha = anyAlpha || a != 0;
      } else if (bpp == 24) {
        b = row[x * 3]; g = row[x * 3 + 1]; r = row[x * 3 + 2];
      } else {
        int perByte = 8 / bpp;
        int shift = (perByte - 1 - x % perByte) * bpp;
        size_t idx = (row[x / perByte] >> shift) & ((1 << bpp) - 1);
        if (idx >= paletteCount) idx = 0;
        b = palette[idx * 4]; g = palette[idx * 4 + 1]; r = palette[idx * 4 + 2];
      }
      d[0] = r; d[1] = g; d[2] = b; d[3] = a;
    }
  }
  // Without real alpha the AND mask decides what is transparent.
  if (!anyAlpha || bpp != 32) {
    for (int y = 0; y < h; ++y) {
      const uint8_t* mrow = mask + maskStride * (h - 1 - y);
      for (int x = 0; x < w; ++x) {
        bool transparent = haveMask && ((mrow[x / 8] >> (7 - x % 8)) & 1);
        out->px[(static_cast<size_t>(y) * w + x) * 4 + 3] = transparent ? 0 : 255;
      }
    }
  }
  return true;
}

// Bilinear resampling on premultiplied values, so transparent pixels do not
// bleed their colour into the edges.
Rgba Resize(const Rgba& src, int w, int h) {
  if (src.w == w && src.h == h) return src;
  Rgba out;
  out.w = w;
  out.h = h;
  out.px.resize(static_cast<size_t>(w) * h * 4);
  auto at = [&](int x, int y, int c) -> float {
    x = x < 0 ? 0 : (x >= src.w ? src.w - 1 : x);
    y = y < 0 ? 0 : (y >= src.h ? src.h - 1 : y);
    const uint8_t* p = &src.px[(static_cast<size_t>(y) * src.w + x) * 4];
    return c == 3 ? p[3] : p[c] * (p[3] / 255.0f);
  };
  for (int y = 0; y < h; ++y) {
    float sy = (y + 0.5f) * src.h / h - 0.5f;
    int y0 = static_cast<int>(sy < 0 ? -1 : sy);
    float fy = sy - y0;
    for (int x = 0; x < w; ++x) {
      float sx = (x + 0.5f) * src.w / w - 0.5f;
      int x0 = static_cast<int>(sx < 0 ? -1 : sx);
      float fx = sx - x0;
      float v[4];
      for (int c = 0; c < 4; ++c) {
        v[c] = at(x0, y0, c) * (1 - fx) * (1 - fy) + at(x0 + 1, y0, c) * fx * (1 - fy) +
               at(x0, y0 + 1, c) * (1 - fx) * fy + at(x0 + 1, y0 + 1, c) * fx * fy;
      }
      uint8_t* d = &out.px[(static_cast<size_t>(y) * w + x) * 4];
      float a = v[3];
      d[3] = static_cast<uint8_t>(a + 0.5f);
      for (int c = 0; c < 3; ++c) {
        float s = a > 0 ? v[c] * 255.0f / a : 0;
        d[c] = static_cast<uint8_t>(s > 255 ? 255 : s + 0.5f);
      }
    }
  }
  return out;
}

size_t Stride(int rowBytes) { return (static_cast<size_t>(rowBytes) + 3) & ~static_cast<size_t>(3); }

}  // namespace

bool LoadIconFromIco(const uint8_t* data, size_t size, int cx, int cy, IconBitmaps* out) {
  if (!data || size < 6 || U16(data) != 0 || U16(data + 2) != 1) return false;
  int count = U16(data + 4);
  if (count == 0 || 6 + static_cast<size_t>(count) * 16 > size) return false;
  // Best match: the size closest to the one asked for (larger wins a tie),
  // then the deepest colour.
  int best = -1;
  long bestScore = 0;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = data + 6 + i * 16;
    int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    int bpp = U16(e + 6);
    uint32_t bytes = U32(e + 8), off = U32(e + 12);
    if (bytes == 0 || off > size || bytes > size - off) continue;
    long dist = std::labs(w - cx) + std::labs(h - cy);
    long score = dist * 4096 - (w >= cx ? 1024 : 0) - (bpp > 32 ? 0 : bpp);
    if (best < 0 || score < bestScore) {
      best = i;
      bestScore = score;
    }
  }
  if (best < 0) return false;
  const uint8_t* e = data + 6 + best * 16;
  const uint8_t* img = data + U32(e + 12);
  size_t bytes = U32(e + 8);
  Rgba rgba;
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  bool ok = bytes >= 8 && std::memcmp(img, kPng, 8) == 0 ? DecodePng(img, bytes, &rgba)
                                                         : DecodeDib(img, bytes, &rgba);
  if (!ok) return false;
  Rgba sized = Resize(rgba, cx, cy);

  out->width = cx;
  out->height = cy;
  out->planes = 1;
  out->bitsPerPixel = 32;
  out->colorRowBytes = cx * 4;
  out->maskRowBytes = ((cx + 15) / 16) * 2;  // monochrome rows are word aligned
  out->color.assign(static_cast<size_t>(out->colorRowBytes) * cy, 0);
  out->mask.assign(static_cast<size_t>(out->maskRowBytes) * cy, 0);
  for (int y = 0; y < cy; ++y) {
    for (int x = 0; x < cx; ++x) {
      const uint8_t* s = &sized.px[(static_cast<size_t>(y) * cx + x) * 4];
      uint8_t* d = &out->color[static_cast<size_t>(y) * out->colorRowBytes + x * 4];
      d[0] = s[2]; d[1] = s[1]; d[2] = s[0]; d[3] = s[3];
      if (s[3] == 0) out->mask[static_cast<size_t>(y) * out->maskRowBytes + x / 8] |=
          static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return true;
}

bool SaveIconFile(const std::wstring& path, const IconBitmaps* icon) {
  if (!icon || icon->width <= 0 || icon->height <= 0) return false;
  const size_t colorStride = Stride(icon->colorRowBytes);
  const size_t maskStride = Stride(icon->maskRowBytes);
  const size_t colorSize = colorStride * icon->height;
  const size_t maskSize = maskStride * icon->height;
  if (icon->color.size() < static_cast<size_t>(icon->colorRowBytes) * icon->height ||
      icon->mask.size() < static_cast<size_t>(icon->maskRowBytes) * icon->height)
    return false;
  const int bpp = icon->bitsPerPixel;
  std::vector<uint8_t> o;
  o.reserve(62 + colorSize + maskSize);
  Put16(o, 0);  // reserved
  Put16(o, 1);  // icon
  Put16(o, 1);  // one image
  o.push_back(static_cast<uint8_t>(icon->width));
  o.push_back(static_cast<uint8_t>(icon->height));
  o.push_back(bpp < 8 ? static_cast<uint8_t>(1u << (icon->planes * bpp)) : 0);
  o.push_back(0);
  Put16(o, static_cast<uint32_t>(icon->planes));
  Put16(o, static_cast<uint32_t>(bpp));
  Put32(o, static_cast<uint32_t>(40 + colorSize + maskSize));
  Put32(o, 22);
  // BITMAPINFOHEADER
  Put32(o, 40);
  Put32(o, static_cast<uint32_t>(icon->width));
  Put32(o, static_cast<uint32_t>(icon->height * 2));
  Put16(o, static_cast<uint32_t>(icon->planes));
  Put16(o, static_cast<uint32_t>(bpp));
  Put32(o, 0);  // BI_RGB
  Put32(o, static_cast<uint32_t>(colorSize + maskSize));
  for (int i = 0; i < 4; ++i) Put32(o, 0);
  auto rows = [&](const std::vector<uint8_t>& bits, int rowBytes, size_t stride) {
    for (int y = icon->height - 1; y >= 0; --y) {  // last row first
      const uint8_t* r = bits.data() + static_cast<size_t>(y) * rowBytes;
      o.insert(o.end(), r, r + rowBytes);
      o.insert(o.end(), stride - rowBytes, 0);
    }
  };
  rows(icon->color, icon->colorRowBytes, colorStride);
  rows(icon->mask, icon->maskRowBytes, maskStride);
  platform::DeleteFileW(path);
  return platform::WriteWholeFile(path, o.data(), o.size());
}
