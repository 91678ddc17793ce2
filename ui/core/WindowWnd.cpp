// The native window wrapper: class registration, object binding, the modal
// loop and geometry helpers.
#include "ui/core/WindowWnd.h"

#include <stb_image.h>

#include <algorithm>
#include <cstring>

#include "platform/Resources.h"

namespace SkinUI {
namespace {

constexpr wchar_t kBindProp[] = L"WndX";

uint32_t ReadU32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t ReadU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// A DIB (the classic icon image) to straight ARGB; height is doubled (XOR + AND).
bool DecodeDib(const unsigned char* p, size_t n, platform::IconImage* out) {
  if (n < 40) return false;
  const uint32_t hdr = ReadU32(p);
  const int w = static_cast<int32_t>(ReadU32(p + 4));
  const int h2 = static_cast<int32_t>(ReadU32(p + 8));
  const int bpp = ReadU16(p + 14);
  const uint32_t compression = ReadU32(p + 16);
  uint32_t colors = ReadU32(p + 32);
  const int h = h2 / 2;
  if (w <= 0 || h <= 0 || w > 512 || h > 512 || compression != 0 || hdr < 40 || hdr > n) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
  if (bpp <= 8 && colors == 0) colors = 1u << bpp;
  const unsigned char* palette = p + hdr;
  const size_t palBytes = bpp <= 8 ? colors * 4 : 0;
  const size_t xorStride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  const size_t andStride = ((static_cast<size_t>(w) + 31) / 32) * 4;
  const unsigned char* bits = palette + palBytes;
  const unsigned char* mask = bits + xorStride * h;
  const bool hasMask = static_cast<size_t>(mask - p) + andStride * h <= n;
  if (static_cast<size_t>(bits - p) + xorStride * h > n) return false;
  out->width = w;
  out->height = h;
  out->argb.assign(static_cast<size_t>(w) * h, 0);
  bool anyAlpha = false;
  for (int y = 0; y < h; ++y) {
    const unsigned char* row = bits + xorStride * (h - 1 - y);  // bottom-up
    for (int x = 0; x < w; ++x) {
      uint32_t px = 0;
      if (bpp == 32) {
        px = ReadU32(row + x * 4);
        if (px >> 24) anyAlpha = true;
      } else if (bpp == 24) {
        px = 0xFF000000u | row[x * 3] | (row[x * 3 + 1] << 8) | (row[x * 3 + 2] << 16);
      } else {
        const int bitPos = x * bpp;
        const int idx = (row[bitPos / 8] >> (8 - bpp - bitPos % 8)) & ((1 << bpp) - 1);
        if (static_cast<uint32_t>(idx) < colors) px = 0xFF000000u | (ReadU32(palette + idx * 4) & 0xFFFFFF);
      }
      out->argb[static_cast<size_t>(y) * w + x] = px;
    }
  }
  if (bpp == 32 && anyAlpha) return true;
  for (int y = 0; y < h; ++y) {
    const unsigned char* row = mask + andStride * (h - 1 - y);
    for (int x = 0; x < w; ++x) {
      uint32_t& px = out->argb[static_cast<size_t>(y) * w + x];
      const bool transparent = hasMask && ((row[x / 8] >> (7 - x % 8)) & 1);
      px = transparent ? 0 : (px | 0xFF000000u);
    }
  }
  return true;
}

void ScaleTo(platform::IconImage& img, int size) {
  if (img.width == size && img.height == size) return;
  platform::IconImage s;
  s.width = size;
  s.height = size;
  s.argb.resize(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      s.argb[static_cast<size_t>(y) * size + x] =
          img.argb[static_cast<size_t>(y * img.height / size) * img.width + x * img.width / size];
    }
  }
  img = std::move(s);
}

}  // namespace

bool DecodeIcoImage(const unsigned char* data, size_t size, int wanted, platform::IconImage* out) {
  if (!data || size < 6 || ReadU16(data) != 0 || ReadU16(data + 2) != 1) return false;
  const int count = ReadU16(data + 4);
  if (size < 6 + static_cast<size_t>(count) * 16) return false;
  // The entry closest to the wanted size, larger ones before smaller, deeper colour first.
  int best = -1;
  int bestScore = 0;
  for (int i = 0; i < count; ++i) {
    const unsigned char* e = data + 6 + i * 16;
    const int w = e[0] ? e[0] : 256;
    const int bpp = ReadU16(e + 6);
    const int diff = w >= wanted ? (w - wanted) : (wanted - w) * 4;
    const int score = diff * 64 - bpp;
    if (best < 0 || score < bestScore) {
      best = i;
      bestScore = score;
    }
  }
  if (best < 0) return false;
  const unsigned char* e = data + 6 + best * 16;
  const uint32_t bytes = ReadU32(e + 8);
  const uint32_t offset = ReadU32(e + 12);
  if (offset > size || bytes > size - offset) return false;
  const unsigned char* img = data + offset;
  static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes >= 8 && std::memcmp(img, kPng, 8) == 0) {
    int w = 0, h = 0, n = 0;
    unsigned char* rgba = stbi_load_from_memory(img, static_cast<int>(bytes), &w, &h, &n, 4);
    if (!rgba) return false;
    out->width = w;
    out->height = h;
    out->argb.resize(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < out->argb.size(); ++i) {
      const unsigned char* p = rgba + i * 4;
      out->argb[i] = (static_cast<uint32_t>(p[3]) << 24) | (p[0] << 16) | (p[1] << 8) | p[2];
    }
    stbi_image_free(rgba);
  } else if (!DecodeDib(img, bytes, out)) {
    return false;
  }
  ScaleTo(*out, wanted);
  return true;
}

CWindowWnd* WindowFromHandle(HWND hwnd) { return static_cast<CWindowWnd*>(platform::GetPropW(hwnd, kBindProp)); }

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
  SetClosing();
  // A window object that dies first takes its native window with it, so the
  // procedure never reaches a destroyed object.
  if (m_hWnd && platform::IsWindow(m_hWnd)) {
    platform::RemovePropW(m_hWnd, kBindProp);
    platform::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    if (platform::IsWindowOnCurrentThread(m_hWnd)) platform::DestroyWindow(m_hWnd);
  }
}

bool CWindowWnd::RegisterWindowClass() {
  WNDCLASSW wc;
  wc.style = WindowClassStyle();
  wc.lpfnWndProc = &CWindowWnd::CALLBACK_WindowProc;
  wc.hCursor = IDC_ARROW;
  wc.lpszClassName = WindowClassName();
  return platform::RegisterClassW(wc);
}

bool CWindowWnd::RegisterSuperclass() {
  WNDCLASSW base;
  if (!platform::GetClassInfoW(SuperclassName(), &base)) return false;
  m_OldWndProc = base.lpfnWndProc;
  WNDCLASSW wc = base;
  wc.lpfnWndProc = &CWindowWnd::CALLBACK_SubclassProc;
  wc.lpszClassName = WindowClassName();
  return platform::RegisterClassW(wc);
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int cx, int cy) {
  if (SuperclassName() != nullptr) {
    if (!RegisterSuperclass()) return nullptr;
  } else if (!RegisterWindowClass()) {
    return nullptr;
  }
  if (!m_OldWndProc) m_OldWndProc = &platform::DefWindowProcW;
  m_hWnd = platform::CreateWindowExW(exStyle, WindowClassName(), title, style, x, y, cx, cy, parent, this);
  return m_hWnd;
}

LRESULT CWindowWnd::Route(CWindowWnd* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<CWindowWnd*>(cs->lpCreateParams);
    if (self) {
      self->m_hWnd = hwnd;
      self->SetWindowCopy(hwnd);
      platform::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<intptr_t>(self));
      platform::SetPropW(hwnd, kBindProp, self);
    }
  } else {
    self = WindowFromHandle(hwnd);
  }
  if (!self) return platform::DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    LRESULT r = platform::CallWindowProcW(self->m_OldWndProc, hwnd, msg, wParam, lParam);
    platform::RemovePropW(hwnd, kBindProp);
    platform::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (self->m_bSubclassed) {
      platform::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<intptr_t>(self->m_OldWndProc));
      self->m_bSubclassed = false;
    }
    self->m_hWnd = nullptr;
    self->SetWindowCopy(nullptr);
    self->OnWindowGone(hwnd);
    return r;
  }
  if (msg == kUICallMessage) self->HandleUICall(wParam, *self);
  return self->OnWindowMessage(msg, wParam, lParam);
}

LRESULT CWindowWnd::CALLBACK_WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Route(nullptr, hwnd, msg, wParam, lParam);
}

LRESULT CWindowWnd::CALLBACK_SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Route(nullptr, hwnd, msg, wParam, lParam);
}

LRESULT CWindowWnd::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return platform::CallWindowProcW(m_OldWndProc, m_hWnd, msg, wParam, lParam);
}

void CWindowWnd::OnWindowGone(HWND) {}

bool CWindowWnd::PreMessage(const MSG&) { return false; }

int CWindowWnd::RunModal() {
  if (!m_hWnd || !platform::IsWindow(m_hWnd)) return 0;
  HWND self = m_hWnd;
  HWND owner = platform::GetOwner(self);
  m_bModal = true;
  platform::ShowWindow(self, SW_SHOWNORMAL);
  if (owner) platform::EnableWindow(owner, false);
  int result = 0;
  bool quit = false;
  int quitCode = 0;
  MSG msg;
  while (platform::IsWindow(self)) {
    if (!platform::GetMessageW(&msg)) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (msg.message == WM_CLOSE && msg.hwnd == self) {
      result = static_cast<int>(msg.wParam);
      if (owner) {
        platform::EnableWindow(owner, true);
        platform::SetFocus(owner);
      }
    }
    // The nearest framework window up the tree that has a manager may consume it.
    bool consumed = false;
    for (HWND h = msg.hwnd; h && !consumed; h = platform::GetParent(h)) {
      CWindowWnd* w = WindowFromHandle(h);
      if (w && w->PreMessage(msg)) consumed = true;
    }
    if (consumed) continue;
    platform::TranslateMessage(&msg);
    platform::DispatchMessageW(&msg);
  }
  if (owner) {
    platform::EnableWindow(owner, true);
    platform::SetFocus(owner);
  }
  if (quit) platform::PostQuitMessage(quitCode);
  return result;
}

void CWindowWnd::Close(int code) {
  SetClosing();
  if (m_hWnd && platform::IsWindow(m_hWnd)) platform::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(code), 0);
}

void CWindowWnd::CenterOnOwner() {
  if (!m_hWnd) return;
  RECT rc;
  platform::GetWindowRect(m_hWnd, &rc);
  const int w = rc.right - rc.left;
  const int h = rc.bottom - rc.top;
  RECT monitor, work;
  HWND owner = platform::GetOwner(m_hWnd);
  platform::GetMonitorInfoForWindow(owner ? owner : m_hWnd, &monitor, &work);
  RECT base = work;
  if (owner && platform::IsWindow(owner)) platform::GetWindowRect(owner, &base);
  int x = (base.left + base.right) / 2 - w / 2;
  int y = (base.top + base.bottom) / 2 - h / 2;
  // Left and top edges win: a window larger than the work area starts at its edge.
  if (x + w > work.right) x = work.right - w;
  if (y + h > work.bottom) y = work.bottom - h;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  platform::SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetClientSize(int cx, int cy) {
  if (!m_hWnd) return;
  // No non-client area here: the client size is the window size.
  RECT rc;
  platform::GetClientRect(m_hWnd, &rc);
  if (cx < 0) cx = rc.right;
  if (cy < 0) cy = rc.bottom;
  platform::SetWindowPos(m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::ApplyAppIcon() {
  if (!m_hWnd) return;
  platform::ResourceBlob blob;
  if (!platform::FindResource(platform::kResIcon, platform::kIdAppIcon, &blob)) return;
  const int size = (platform::GetSystemMetrics(SM_CXICON) + 15) / 16 * 16;
  platform::IconImage img;
  if (!DecodeIcoImage(blob.data, blob.size, size, &img)) return;
  // The same image serves as big and small icon.
  platform::SetWindowIcon(m_hWnd, {img});
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
  if (!m_hWnd) return;
  platform::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

LRESULT CWindowWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return platform::SendMessageW(m_hWnd, msg, wParam, lParam);
}

bool CWindowWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return platform::PostMessageW(m_hWnd, msg, wParam, lParam);
}

}  // namespace SkinUI
