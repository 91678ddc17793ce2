// Skin drawing: the image descriptor language (key='value' items choosing file,
// destination, source, nine-grid corners, mask, fade, hole, tiling), colour
// fills, gradients, lines, frames, text and clips, on a CPaintDC.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/WinTypes.h"
#include "ui/core/DrawTextFlags.h"
#include "ui/core/PaintDC.h"
#include "ui/core/PaintResources.h"

namespace SkinUI {

struct SkinImage;

// Drawing state assembled from a descriptor and its modifier.
struct ImageDrawSpec {
  std::wstring m_strImage;    // initially the whole descriptor text
  std::wstring m_strResType;  // empty: not a packaged resource
  RECT m_rcDest{};            // initially the item rectangle
  RECT m_rcSource{};          // 0,0,0,0 = the whole image
  RECT m_rcCorner{};          // border widths kept unscaled
  uint32_t m_dwMask = 0;
  uint8_t m_uFade = 255;
  bool m_bHole = false;
  bool m_bTiledX = false;
  bool m_bTiledY = false;
  int m_nImageCount = 0;

  ImageDrawSpec(const std::wstring& descriptor, const RECT& item);

  // Parses one string into this state. `drawPending` runs whenever a "file",
  // "res" or "restype" key asks for the image accumulated so far to be drawn.
  void Parse(const std::wstring& text, const RECT& item,
             const std::function<void(const ImageDrawSpec&)>& drawPending);
};

class CRenderEngine {
 public:
  // Draws a descriptor plus modifier. False only when dc or resources are missing;
  // a missing image still returns true.
  static bool DrawImage(CPaintDC* dc, IPaintResourcesUI* resources, const RECT& itemRect,
                        const RECT& paintRect, const std::wstring& descriptor,
                        const std::wstring& modifier = std::wstring());
  // One image of a descriptor (its state as parsed), through the window's cache.
  static void DrawSpec(CPaintDC* dc, IPaintResourcesUI* resources, const RECT& itemRect,
                       const RECT& paintRect, const ImageDrawSpec& drawSpec);
  // A decoded image drawn by the nine-grid rules.
  static void DrawSkinImage(CPaintDC& dc, const SkinImage& image, const RECT& itemRect,
                            const RECT& paintRect, const RECT& dest, const RECT& source,
                            const RECT& corner, uint8_t fade, bool hole, bool xtiled, bool ytiled);

  // Alpha 0 draws nothing, 0xFF fills opaquely, other alphas blend.
  static void DrawColor(CPaintDC* dc, const RECT& rect, uint32_t color);
  // Vertical; its alpha is the mean of both colours' alphas (0 draws nothing).
  static void DrawGradient(CPaintDC* dc, const RECT& rect, uint32_t color1, uint32_t color2, int steps);
  // From the rectangle's top-left to its bottom-right.
  static void DrawLine(CPaintDC* dc, const RECT& rect, int width, uint32_t color, int style = PS_SOLID);
  static void DrawRect(CPaintDC* dc, const RECT& rect, int width, uint32_t color);
  static void DrawRoundRect(CPaintDC* dc, const RECT& rect, int width, int ellipseWidth,
                            int ellipseHeight, uint32_t color);
  // Font `fontIndex` of the window (its default font when out of range); DT_NOPREFIX
  // is always added; colour alpha ignored.
  static void DrawText(CPaintDC* dc, IPaintResourcesUI* resources, const RECT& rect,
                       const std::wstring& text, uint32_t color, int fontIndex, unsigned style);
  // Size the text takes in that font (DT_NOPREFIX added); maxWidth <= 0: unlimited.
  static SIZE MeasureText(IPaintResourcesUI* resources, const std::wstring& text, int fontIndex,
                          unsigned style, int maxWidth = 0);

  // Intersects the clip with a rectangle until the returned object is released.
  static CRenderClip ClipTo(CPaintDC* dc, const RECT& rect);
  // Also with a rounded rectangle over itemRect (right and bottom + 1, ellipse cx x cy).
  static CRenderClip ClipToRound(CPaintDC* dc, const RECT& rect, const RECT& itemRect, int cx, int cy);
};

// Reads a "l,t,r,b" list like wcstol, one separator character between numbers.
RECT ParseRectValue(const std::wstring& value);

}  // namespace SkinUI
