// Skin drawing (see RenderEngine.h): the descriptor parser, the nine-grid and
// the thin wrappers that put colours, frames and text on a CPaintDC.
#include "ui/core/RenderEngine.h"

#include <algorithm>
#include <cwchar>

#include "ui/core/SkinFont.h"
#include "ui/utils/SkinImage.h"

namespace SkinUI {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Meets(const RECT& a, const RECT& b) {
  return !IsEmpty(a) && !IsEmpty(b) && a.left < b.right && b.left < a.right && a.top < b.bottom &&
         b.top < a.bottom;
}

bool IsZero(const RECT& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

bool ParseBool(const std::wstring& value) { return value == L"true"; }

}  // namespace

RECT ParseRectValue(const std::wstring& value) {
  RECT rect{};
  int32_t* fields[4] = {&rect.left, &rect.top, &rect.right, &rect.bottom};
  const wchar_t* p = value.c_str();
  for (int i = 0; i < 4; ++i) {
    wchar_t* end = nullptr;
    *fields[i] = static_cast<int32_t>(std::wcstol(p, &end, 10));
    p = end;
    if (*p == 0) break;
    ++p;  // one separator character
  }
  return rect;
}

ImageDrawSpec::ImageDrawSpec(const std::wstring& descriptor, const RECT& item)
    : m_strImage(descriptor), m_rcDest(item) {}

void ImageDrawSpec::Parse(const std::wstring& text, const RECT& item,
                          const std::function<void(const ImageDrawSpec&)>& drawPending) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < n && IsBlank(text[i])) ++i;
  };
  auto drawAccumulated = [&] {
    if (m_nImageCount > 0 && drawPending) drawPending(*this);
  };
  for (;;) {
    skipBlanks();
    std::size_t keyStart = i;
    while (i < n && text[i] != L'=' && !IsBlank(text[i])) ++i;
    std::wstring key = text.substr(keyStart, i - keyStart);
    skipBlanks();
    if (i >= n || text[i] != L'=') return;
    ++i;
    skipBlanks();
    if (i >= n || text[i] != L'\'') return;
    ++i;
    std::size_t valueStart = i;
    while (i < n && text[i] != L'\'') ++i;
    if (i >= n) return;  // no closing quote: what was read so far stays
    std::wstring value = text.substr(valueStart, i - valueStart);
    ++i;

    if (!value.empty()) {
      if (key == L"file") {
        drawAccumulated();
        m_strImage = value;
        ++m_nImageCount;
      } else if (key == L"res") {
        drawAccumulated();
        m_strImage = value;
      } else if (key == L"restype") {
        drawAccumulated();
        m_strResType = value;
        ++m_nImageCount;
      } else if (key == L"dest") {
        RECT r = ParseRectValue(value);
        m_rcDest.left = item.left + r.left;
        m_rcDest.top = item.top + r.top;
        m_rcDest.right = std::min(item.left + r.right, item.right);
        m_rcDest.bottom = std::min(item.top + r.bottom, item.bottom);
      } else if (key == L"source") {
        m_rcSource = ParseRectValue(value);
      } else if (key == L"corner") {
        m_rcCorner = ParseRectValue(value);
      } else if (key == L"mask") {
        const wchar_t* digits = value.c_str();
        if (*digits == L'#') ++digits;
        m_dwMask = static_cast<uint32_t>(std::wcstoul(digits, nullptr, 16));
      } else if (key == L"fade") {
        long fade = std::wcstol(value.c_str(), nullptr, 10);
        m_uFade = static_cast<uint8_t>(std::clamp(fade, 0L, 255L));
      } else if (key == L"hole") {
        m_bHole = ParseBool(value);
      } else if (key == L"xtiled") {
        m_bTiledX = ParseBool(value);
      } else if (key == L"ytiled") {
        m_bTiledY = ParseBool(value);
      }
    }

    // A blank and more text must follow a value.
    if (i >= n || !IsBlank(text[i])) return;
    skipBlanks();
    if (i >= n) return;
  }
}

bool CRenderEngine::DrawImage(CPaintDC* dc, IPaintResourcesUI* resources, const RECT& itemRect,
                              const RECT& paintRect, const std::wstring& descriptor, const std::wstring& modifier) {
  if (dc == nullptr || resources == nullptr) return false;
  ImageDrawSpec drawSpec(descriptor, itemRect);
  auto draw = [&](const ImageDrawSpec& pending) { DrawSpec(dc, resources, itemRect, paintRect, pending); };
  drawSpec.Parse(descriptor, itemRect, draw);
  drawSpec.Parse(modifier, itemRect, draw);
  draw(drawSpec);
  return true;
}

void CRenderEngine::DrawSpec(CPaintDC* dc, IPaintResourcesUI* resources, const RECT& itemRect,
                             const RECT& paintRect, const ImageDrawSpec& drawSpec) {
  if (dc == nullptr || resources == nullptr || drawSpec.m_strImage.empty()) return;
  const SkinImage* image = resources->ImageFor(drawSpec.m_strImage, drawSpec.m_strResType, drawSpec.m_dwMask);
  if (image == nullptr) return;
  DrawSkinImage(*dc, *image, itemRect, paintRect, drawSpec.m_rcDest, drawSpec.m_rcSource, drawSpec.m_rcCorner, drawSpec.m_uFade,
                drawSpec.m_bHole, drawSpec.m_bTiledX, drawSpec.m_bTiledY);
}

void CRenderEngine::DrawSkinImage(CPaintDC& dc, const SkinImage& image, const RECT& itemRect,
                                  const RECT& paintRect, const RECT& dest, const RECT& source, const RECT& corner,
                                  uint8_t fade, bool hole, bool xtiled, bool ytiled) {
  if (image.m_pixels.empty()) return;
  RECT src = IsZero(source) ? RECT{0, 0, image.m_nWidth, image.m_nHeight} : source;
  src.right = std::min(src.right, image.m_nWidth);
  src.bottom = std::min(src.bottom, image.m_nHeight);
  if (!Meets(dest, itemRect) || !Meets(dest, paintRect)) return;
  const BitmapView view = image.View();
  const int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  const int sw = src.right - src.left, sh = src.bottom - src.top;

  if (!image.m_bAlpha && fade == 255 && dw == sw && dh == sh && IsZero(corner)) {
    // 1:1 copy of the part inside the paint rectangle.
    RECT part{std::max(dest.left, paintRect.left), std::max(dest.top, paintRect.top),
              std::min(dest.right, paintRect.right), std::min(dest.bottom, paintRect.bottom)};
    RECT from{src.left + part.left - dest.left, src.top + part.top - dest.top, 0, 0};
    from.right = from.left + (part.right - part.left);
    from.bottom = from.top + (part.bottom - part.top);
    dc.DrawBitmap(view, from, part, 255, false);
    return;
  }

  auto piece = [&](const RECT& d, const RECT& s) {
    if (IsEmpty(d) || IsEmpty(s) || !Meets(d, paintRect)) return;
    dc.DrawBitmap(view, s, d, fade, true);
  };

  const int cl = corner.left, ct = corner.top, cr = corner.right, cb = corner.bottom;
  const RECT midDest{dest.left + cl, dest.top + ct, dest.right - cr, dest.bottom - cb};
  const RECT midSrc{src.left + cl, src.top + ct, src.right - cr, src.bottom - cb};
  if (!hole && !IsEmpty(midDest) && !IsEmpty(midSrc)) {
    const int tw = midSrc.right - midSrc.left, th = midSrc.bottom - midSrc.top;
    if (xtiled && ytiled) {
      for (int y = midDest.top; y < midDest.bottom; y += th) {
        for (int x = midDest.left; x < midDest.right; x += tw) {
          RECT d{x, y, std::min(x + tw, midDest.right), std::min(y + th, midDest.bottom)};
          RECT s{midSrc.left, midSrc.top, midSrc.left + (d.right - d.left), midSrc.top + (d.bottom - d.top)};
          piece(d, s);
        }
      }
    } else if (xtiled) {
      for (int x = midDest.left; x < midDest.right; x += tw) {
        RECT d{x, midDest.top, std::min(x + tw, midDest.right), midDest.bottom};
        RECT s{midSrc.left, midSrc.top, midSrc.left + (d.right - d.left), midSrc.bottom};
        piece(d, s);
      }
    } else if (ytiled) {
      for (int y = midDest.top; y < midDest.bottom; y += th) {
        RECT d{midDest.left, y, midDest.right, std::min(y + th, midDest.bottom)};
        RECT s{midSrc.left, midSrc.top, midSrc.right, midSrc.top + (d.bottom - d.top)};
        piece(d, s);
      }
    } else {
      piece(midDest, midSrc);
    }
  }
  // Corners unscaled, edges stretched along their length.
  piece({dest.left, dest.top, dest.left + cl, dest.top + ct}, {src.left, src.top, src.left + cl, src.top + ct});
  piece({dest.left + cl, dest.top, dest.right - cr, dest.top + ct},
        {src.left + cl, src.top, src.right - cr, src.top + ct});
  piece({dest.right - cr, dest.top, dest.right, dest.top + ct}, {src.right - cr, src.top, src.right, src.top + ct});
  piece({dest.left, dest.top + ct, dest.left + cl, dest.bottom - cb},
        {src.left, src.top + ct, src.left + cl, src.bottom - cb});
  piece({dest.right - cr, dest.top + ct, dest.right, dest.bottom - cb},
        {src.right - cr, src.top + ct, src.right, src.bottom - cb});
  piece({dest.left, dest.bottom - cb, dest.left + cl, dest.bottom},
        {src.left, src.bottom - cb, src.left + cl, src.bottom});
  piece({dest.left + cl, dest.bottom - cb, dest.right - cr, dest.bottom},
        {src.left + cl, src.bottom - cb, src.right - cr, src.bottom});
  piece({dest.right - cr, dest.bottom - cb, dest.right, dest.bottom},
        {src.right - cr, src.bottom - cb, src.right, src.bottom});
}

void CRenderEngine::DrawColor(CPaintDC* dc, const RECT& rect, uint32_t color) {
  if (dc == nullptr || (color >> 24) == 0) return;
  dc->FillRect(rect, color);
}

void CRenderEngine::DrawGradient(CPaintDC* dc, const RECT& rect, uint32_t color1, uint32_t color2, int steps) {
  (void)steps;  // the continuous gradient needs no band count
  if (dc == nullptr) return;
  const uint32_t alpha = ((color1 >> 24) + (color2 >> 24)) / 2;
  if (alpha == 0) return;
  dc->FillVerticalGradient(rect, color1 & 0xFFFFFF, color2 & 0xFFFFFF, static_cast<uint8_t>(alpha));
}

void CRenderEngine::DrawLine(CPaintDC* dc, const RECT& rect, int width, uint32_t color, int style) {
  if (dc == nullptr) return;
  dc->DrawLine(rect.left, rect.top, rect.right, rect.bottom, width, color & 0xFFFFFF, style);
}

void CRenderEngine::DrawRect(CPaintDC* dc, const RECT& rect, int width, uint32_t color) {
  if (dc == nullptr) return;
  dc->DrawFrame(rect, width, color & 0xFFFFFF);
}

void CRenderEngine::DrawRoundRect(CPaintDC* dc, const RECT& rect, int width, int ellipseWidth, int ellipseHeight,
                                  uint32_t color) {
  if (dc == nullptr) return;
  dc->DrawRoundFrame(rect, width, ellipseWidth, ellipseHeight, color & 0xFFFFFF);
}

void CRenderEngine::DrawText(CPaintDC* dc, IPaintResourcesUI* resources, const RECT& rect,
                             const std::wstring& text, uint32_t color, int fontIndex, unsigned style) {
  if (dc == nullptr || resources == nullptr || text.empty()) return;
  const SkinFont* font = resources->FontAt(fontIndex);
  if (font == nullptr) font = resources->DefaultFont();
  dc->DrawText(rect, text, color & 0xFFFFFF, font, style | DT_NOPREFIX);
}

SIZE CRenderEngine::MeasureText(IPaintResourcesUI* resources, const std::wstring& text, int fontIndex,
                                unsigned style, int maxWidth) {
  const SkinFont* font = nullptr;
  if (resources != nullptr) {
    font = resources->FontAt(fontIndex);
    if (font == nullptr) font = resources->DefaultFont();
  }
  return CPaintDC::MeasureText(text, font, style | DT_NOPREFIX, maxWidth);
}

CRenderClip CRenderEngine::ClipTo(CPaintDC* dc, const RECT& rect) {
  if (dc == nullptr || !dc->IsValid()) return CRenderClip();
  return CRenderClip(dc, dc->PushClipRect(rect));
}

CRenderClip CRenderEngine::ClipToRound(CPaintDC* dc, const RECT& rect, const RECT& itemRect, int cx, int cy) {
  if (dc == nullptr || !dc->IsValid()) return CRenderClip();
  // The region form adds one pixel on the right and bottom; a path already covers
  // the rectangle's full extent.
  return CRenderClip(dc, dc->PushClipRoundRect(rect, itemRect, cx, cy));
}

}  // namespace SkinUI
