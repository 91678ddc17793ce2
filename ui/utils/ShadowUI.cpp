// The page shadow window and the owner procedure that keeps it in place.
#include "ui/utils/ShadowUI.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "platform/window/NativeWindow.h"
#include "ui/core/PaintDC.h"
#include "ui/core/RenderEngine.h"
#include "ui/utils/SkinImage.h"

namespace SkinUI {
namespace {

constexpr wchar_t kShadowClass[] = L"SkinShadowWnd";

// Owner window -> its shadow; read by the owner procedure of every UI thread.
std::mutex g_mapMu;
std::map<HWND, CShadowUI*> g_shadows;

CShadowUI* Lookup(HWND owner) {
  std::lock_guard<std::mutex> guard(g_mapMu);
  auto it = g_shadows.find(owner);
  return it == g_shadows.end() ? nullptr : it->second;
}

}  // namespace

bool CShadowUI::RegisterShadowClass(void*) {
  WNDCLASSW wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &platform::DefWindowProcW;
  wc.hCursor = IDC_ARROW;
  wc.lpszClassName = kShadowClass;
  return platform::RegisterClassW(wc);
}

CShadowUI::~CShadowUI() {
  if (m_hOwner) {
    {
      std::lock_guard<std::mutex> guard(g_mapMu);
      g_shadows.erase(m_hOwner);
    }
    if (platform::IsWindow(m_hOwner) && m_OriParentProc &&
        platform::GetWindowLongPtrW(m_hOwner, GWLP_WNDPROC) == reinterpret_cast<intptr_t>(&CShadowUI::OwnerProc)) {
      platform::SetWindowLongPtrW(m_hOwner, GWLP_WNDPROC, reinterpret_cast<intptr_t>(m_OriParentProc));
    }
  }
  if (m_hWnd && platform::IsWindow(m_hWnd)) platform::DestroyWindow(m_hWnd);
}

bool CShadowUI::Create(HWND owner, CSkinManagerUI& manager) {
  m_pManager = &manager;
  if (!S().show || !owner || m_hWnd) return false;
  // Without a compositor an ARGB window shows black: no shadow then.
  if (!platform::HasCompositingManager()) return false;
  RegisterShadowClass(nullptr);
  m_hOwner = owner;
  {
    std::lock_guard<std::mutex> guard(g_mapMu);
    g_shadows[owner] = this;
  }
  const DWORD ownerStyle = static_cast<DWORD>(platform::GetWindowLongPtrW(owner, GWL_STYLE));
  m_hWnd = platform::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kShadowClass, L"",
                                     WS_POPUPWINDOW | (ownerStyle & WS_DLGFRAME), CW_USEDEFAULT, 0, 0, 0, owner,
                                     nullptr);
  if (!m_hWnd) {
    std::lock_guard<std::mutex> guard(g_mapMu);
    g_shadows.erase(owner);
    m_hOwner = nullptr;
    return false;
  }
  if (!platform::IsWindowVisible(owner)) {
    m_Status = kEnabled;
  } else if (platform::IsIconic(owner) || platform::IsZoomed(owner)) {
    m_Status = kEnabled | kOwnerVisible;
  } else {
    m_Status = kEnabled | kOwnerVisible | kShadowVisible;
    platform::ShowWindow(m_hWnd, SW_SHOWNA);
    Update(owner);
  }
  m_OriParentProc = reinterpret_cast<WNDPROC>(platform::GetWindowLongPtrW(owner, GWLP_WNDPROC));
  platform::SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<intptr_t>(&CShadowUI::OwnerProc));
  return true;
}

RECT CShadowUI::ShadowRect(const RECT& owner) const {
  const ShadowSettingsUI& s = S();
  if (s.imageMode) {
    return RECT{owner.left - s.corner.left, owner.top - s.corner.top, owner.right + s.corner.right,
                owner.bottom + s.corner.bottom};
  }
  return RECT{owner.left + s.offsetX - s.size, owner.top + s.offsetY - s.size, owner.right + s.offsetX + s.size,
              owner.bottom + s.offsetY + s.size};
}

LRESULT CShadowUI::OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CShadowUI* self = Lookup(hwnd);
  if (!self) return platform::DefWindowProcW(hwnd, msg, wParam, lParam);
  WNDPROC prev = self->m_OriParentProc;
  switch (msg) {
    case WM_DESTROY:
      if (self->m_hWnd) platform::DestroyWindow(self->m_hWnd);
      self->m_hWnd = nullptr;
      break;
    case WM_MOVE:
      if (self->m_Status & kShadowVisible) self->Update(hwnd);
      break;
    case WM_SIZE:
      if (self->m_Status & kEnabled) {
        if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXIMIZED) {
          platform::ShowWindow(self->m_hWnd, SW_HIDE);
          self->m_Status &= ~kShadowVisible;
        } else if (self->m_Status & kOwnerVisible) {
          const int w = LOWORD(static_cast<uintptr_t>(lParam));
          const int h = HIWORD(static_cast<uintptr_t>(lParam));
          if (w > self->m_WndSize.cx || h > self->m_WndSize.cy) {
            self->m_bUpdate = true;
          } else {
            self->Update(hwnd);
          }
          if (!(self->m_Status & kShadowVisible)) {
            platform::ShowWindow(self->m_hWnd, SW_SHOWNA);
            self->m_Status |= kShadowVisible;
            self->Update(hwnd);
          }
        }
        self->m_WndSize = SIZE{static_cast<int>(LOWORD(static_cast<uintptr_t>(lParam))), static_cast<int>(HIWORD(static_cast<uintptr_t>(lParam)))};
      }
      break;
    case WM_PAINT:
      if (self->m_bUpdate) {
        self->m_bUpdate = false;
        self->Update(hwnd);
      }
      break;
    case WM_SHOWWINDOW:
      if (self->m_Status & kEnabled) {
        if (wParam) {
          if (!(self->m_Status & kOwnerVisible)) {
            self->m_bUpdate = true;
            platform::ShowWindow(self->m_hWnd, SW_SHOWNA);
            self->m_Status |= kShadowVisible | kOwnerVisible;
          }
        } else {
          platform::ShowWindow(self->m_hWnd, SW_HIDE);
          self->m_Status &= ~(kShadowVisible | kOwnerVisible);
        }
      }
      break;
    case WM_EXITSIZEMOVE:
      if (self->m_Status & kShadowVisible) self->Update(hwnd);
      break;
    case WM_NCDESTROY: {
      std::lock_guard<std::mutex> guard(g_mapMu);
      g_shadows.erase(hwnd);
      self->m_hOwner = nullptr;
      break;
    }
    default:
      break;
  }
  // The owner's own procedure may delete `self` (the page forgets its shadow).
  return platform::CallWindowProcW(prev, hwnd, msg, wParam, lParam);
}

void CShadowUI::Update(HWND owner) {
  if (!m_hWnd || !m_pManager) return;
  const ShadowSettingsUI& s = S();
  if (s.imageMode && s.image.empty()) return;
  RECT orc;
  platform::GetWindowRect(owner, &orc);
  const RECT rc = ShadowRect(orc);
  const int w = rc.right - rc.left;
  const int h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return;
  CSurfaceUI surface(w, h);
  if (!surface.IsValid()) return;
  if (s.imageMode) {
    const SkinImage* image = m_pManager->ImageFor(s.image, L"", 0);
    if (!image) return;
    CPaintDC dc(surface);
    const RECT all{0, 0, w, h};
    CRenderEngine::DrawSkinImage(dc, *image, all, all, all, RECT{0, 0, image->m_nWidth, image->m_nHeight}, s.corner,
                                 255, true, false, false);
  } else {
    // The owner's shape grown by `size`, a soft edge `sharpness` wide, the
    // owner's own area left open.
    platform::WindowRegion region;
    const bool shaped = platform::GetWindowRgn(owner, &region);
    const int ow = orc.right - orc.left;
    const int oh = orc.bottom - orc.top;
    const int ox = orc.left - rc.left;  // owner origin inside the shadow bitmap
    const int oy = orc.top - rc.top;
    const int grow = s.size;
    const int soft = std::max(1, s.sharpness);
    const uint32_t rgb = s.color & 0xFFFFFF;
    uint32_t* px = surface.Pixels();
    const int stride = surface.Stride() / 4;
    auto inOwner = [&](int x, int y) {
      int lx = x - ox, ly = y - oy;
      if (lx < 0 || ly < 0 || lx >= ow || ly >= oh) return false;
      return !shaped || region.Contains(lx, ly);
    };
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        // Shape grown by `size` (and moved by the offset): the owner's
        // rectangle at the shadow's own origin.
        const int sx = x - (ox - s.offsetX) + grow;
        const int sy = y - (oy - s.offsetY) + grow;
        const int gw = ow + 2 * grow, gh = oh + 2 * grow;
        if (sx < 0 || sy < 0 || sx >= gw || sy >= gh || inOwner(x, y)) continue;
        const int edge = std::min(std::min(sx, sy), std::min(gw - 1 - sx, gh - 1 - sy)) + 1;
        const int a = s.darkness * std::min(edge, soft) / soft;
        const uint32_t r = ((rgb >> 16) & 0xFF) * a / 255, g = ((rgb >> 8) & 0xFF) * a / 255, b = (rgb & 0xFF) * a / 255;
        px[static_cast<size_t>(y) * stride + x] = (static_cast<uint32_t>(a) << 24) | (r << 16) | (g << 8) | b;
      }
    }
    surface.MarkDirty();
  }
  platform::UpdateLayeredWindowPixels(m_hWnd, surface.Pixels(), surface.Stride(), w, h, POINT{rc.left, rc.top});
}

void CShadowUI::Repaint() {
  if (m_hWnd && m_hOwner && (m_Status & kShadowVisible)) Update(m_hOwner);
}

bool CShadowUI::SetSize(int n) {
  if (!m_pManager || !S().SetSize(n)) return false;
  Repaint();
  return true;
}

bool CShadowUI::SetSharpness(int n) {
  if (!m_pManager || !S().SetSharpness(n)) return false;
  Repaint();
  return true;
}

bool CShadowUI::SetDarkness(int n) {
  if (!m_pManager || !S().SetDarkness(n)) return false;
  Repaint();
  return true;
}

bool CShadowUI::SetPosition(int x, int y) {
  if (!m_pManager || !S().SetPosition(x, y)) return false;
  Repaint();
  return true;
}

bool CShadowUI::SetColor(uint32_t color) {
  if (!m_pManager) return false;
  S().SetColor(color);
  Repaint();
  return true;
}

bool CShadowUI::SetImage(const wchar_t* name) {
  if (!m_pManager || !name || !S().SetImage(name)) return false;
  Repaint();
  return true;
}

bool CShadowUI::SetShadowCorner(int l, int t, int r, int b) {
  if (!m_pManager || !S().SetCorner(RECT{l, t, r, b})) return false;
  Repaint();
  return true;
}

}  // namespace SkinUI
