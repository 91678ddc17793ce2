// The X11 back end: one Display per UI thread, borderless windows through
// _MOTIF_WM_HINTS, XShape regions, ARGB override-redirect windows for
// layered popups, _NET_WM_MOVERESIZE moves, XIM input and the CLIPBOARD
// selection.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/Text.h"
#include "platform/window/Internal.h"

namespace platform {
namespace detail {

std::vector<HWND> ZOrderSnapshot();

namespace {

thread_local int t_lastXError = 0;

int OnXError(Display*, XErrorEvent* e) {
  // Process-wide handler; errors are recorded for the thread that caused them.
  t_lastXError = e->error_code;
  return 0;
}

std::once_flag g_xInit;
std::mutex g_clipMu;
std::wstring g_clipText;
Window g_clipOwner = 0;

struct XThread {
  Display* dpy = nullptr;
  int screen = 0;
  Window root = 0;
  Window util = 0;  // hidden window for the selection
  XIM xim = nullptr;
  XFontSet fontSet = nullptr;
  bool wm = false;
  Visual* argbVisual = nullptr;
  std::unordered_map<Window, HWND> byXid;
  std::map<int, Cursor> cursors;
  Atom aProtocols, aDelete, aNetName, aUtf8, aMotif, aMoveResize, aIcon, aClipboard, aTargets, aWorkArea,
      aSupportingWm, aType, aTypeNormal, aTypeDialog, aTypeTooltip, aPid, aPaste, aCm, aState, aStateHidden;
};

struct XWin {
  Window xid = 0;
  GC gc = nullptr;
  XIC xic = nullptr;
  bool xicSpot = false;
  int depth = 24;
  Visual* visual = nullptr;
  Colormap cmap = 0;
  bool topLevel = false;
  bool layered = false;
  bool overrideRedirect = false;
  int selfUnmaps = 0;
  bool focusOnMap = false;
  bool mapped = false;
};

XThread* T(ThreadQueue& q) { return static_cast<XThread*>(q.native); }
XWin* W(WindowRec& w) { return static_cast<XWin*>(w.native); }

unsigned Mods(unsigned state) {
  unsigned m = 0;
  if (state & ShiftMask) m |= MK_SHIFT;
  if (state & ControlMask) m |= MK_CONTROL;
  if (state & Mod1Mask) m |= kAltMod;
  return m;
}

UINT VkFromKeysym(KeySym ks) {
  if (ks >= XK_a && ks <= XK_z) return static_cast<UINT>('A' + (ks - XK_a));
  if (ks >= XK_A && ks <= XK_Z) return static_cast<UINT>('A' + (ks - XK_A));
  if (ks >= XK_0 && ks <= XK_9) return static_cast<UINT>('0' + (ks - XK_0));
  if (ks >= XK_F1 && ks <= XK_F12) return static_cast<UINT>(0x70 + (ks - XK_F1));
  switch (ks) {
    case XK_BackSpace: return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Prior: return VK_PRIOR;
    case XK_Next: return VK_NEXT;
    case XK_End:
    case XK_KP_End: return VK_END;
    case XK_Home:
    case XK_KP_Home: return VK_HOME;
    case XK_Left:
    case XK_KP_Left: return VK_LEFT;
    case XK_Up:
    case XK_KP_Up: return VK_UP;
    case XK_Right:
    case XK_KP_Right: return VK_RIGHT;
    case XK_Down:
    case XK_KP_Down: return VK_DOWN;
    case XK_Insert: return VK_INSERT;
    case XK_Delete:
    case XK_KP_Delete: return VK_DELETE;
    case XK_Shift_L:
    case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R: return VK_MENU;
    default: return 0;
  }
}

unsigned XCursorFor(int id) {
  switch (id) {
    case IDC_IBEAM: return XC_xterm;
    case IDC_HAND: return XC_hand2;
    case IDC_WAIT: return XC_watch;
    case IDC_SIZEWE: return XC_sb_h_double_arrow;
    case IDC_SIZENS: return XC_sb_v_double_arrow;
    case IDC_SIZENWSE: return XC_bottom_right_corner;
    case IDC_SIZENESW: return XC_bottom_left_corner;
    default: return XC_left_ptr;
  }
}

class X11Backend final : public Backend {
 public:
  bool InitThread(ThreadQueue& q) override {
    std::call_once(g_xInit, [] {
      XInitThreads();
      XSetErrorHandler(OnXError);
      if (!std::setlocale(LC_CTYPE, "") || !XSupportsLocale()) std::setlocale(LC_CTYPE, "C.UTF-8");
      XSetLocaleModifiers("");
    });
    // An X server refuses connections while it resets (after its last client
    // left), so a refusal is tried again for up to a second.
    Display* dpy = XOpenDisplay(nullptr);
    for (int attempt = 0; !dpy && attempt < 20; ++attempt) {
      usleep(50 * 1000);
      dpy = XOpenDisplay(nullptr);
    }
    if (!dpy) return false;
    auto* t = new XThread;
    t->dpy = dpy;
    t->screen = DefaultScreen(dpy);
    t->root = RootWindow(dpy, t->screen);
    auto atom = [&](const char* n) { return XInternAtom(dpy, n, False); };
    t->aProtocols = atom("WM_PROTOCOLS");
    t->aDelete = atom("WM_DELETE_WINDOW");
    t->aNetName = atom("_NET_WM_NAME");
    t->aUtf8 = atom("UTF8_STRING");
    t->aMotif = atom("_MOTIF_WM_HINTS");
    t->aMoveResize = atom("_NET_WM_MOVERESIZE");
    t->aIcon = atom("_NET_WM_ICON");
    t->aClipboard = atom("CLIPBOARD");
    t->aTargets = atom("TARGETS");
    t->aWorkArea = atom("_NET_WORKAREA");
    t->aSupportingWm = atom("_NET_SUPPORTING_WM_CHECK");
    t->aType = atom("_NET_WM_WINDOW_TYPE");
    t->aTypeNormal = atom("_NET_WM_WINDOW_TYPE_NORMAL");
    t->aTypeDialog = atom("_NET_WM_WINDOW_TYPE_DIALOG");
    t->aTypeTooltip = atom("_NET_WM_WINDOW_TYPE_TOOLTIP");
    t->aPid = atom("_NET_WM_PID");
    t->aPaste = atom("INSTALLER_PASTE");
    t->aState = atom("_NET_WM_STATE");
    t->aStateHidden = atom("_NET_WM_STATE_HIDDEN");
    char cm[32];
    std::snprintf(cm, sizeof cm, "_NET_WM_CM_S%d", t->screen);
    t->aCm = atom(cm);
    XVisualInfo vi;
    if (XMatchVisualInfo(dpy, t->screen, 32, TrueColor, &vi)) t->argbVisual = vi.visual;
    t->util = XCreateSimpleWindow(dpy, t->root, -10, -10, 1, 1, 0, 0, 0);
    XSelectInput(dpy, t->util, PropertyChangeMask);
    t->xim = XOpenIM(dpy, nullptr, nullptr, nullptr);
    q.native = t;
    t->wm = DetectWm(*t);
    return true;
  }

  void EndThread(ThreadQueue& q) override {
    XThread* t = T(q);
    if (!t) return;
    for (auto& [id, c] : t->cursors) XFreeCursor(t->dpy, c);
    if (t->fontSet) XFreeFontSet(t->dpy, t->fontSet);
    if (t->xim) XCloseIM(t->xim);
    {
      std::lock_guard<std::mutex> guard(g_clipMu);
      if (g_clipOwner == t->util) g_clipOwner = 0;
    }
    XDestroyWindow(t->dpy, t->util);
    XCloseDisplay(t->dpy);
    delete t;
    q.native = nullptr;
  }

  int ConnectionFd(ThreadQueue& q) override { return T(q) ? ConnectionNumber(T(q)->dpy) : -1; }

  void Flush(ThreadQueue& q) override {
    if (T(q)) XFlush(T(q)->dpy);
  }

  void Pump(ThreadQueue& q) override {
    XThread* t = T(q);
    if (!t) return;
    XFlush(t->dpy);
    while (XPending(t->dpy)) {
      XEvent ev;
      XNextEvent(t->dpy, &ev);
      if (XFilterEvent(&ev, None)) continue;
      Translate(q, *t, ev);
    }
  }

  bool CreateNative(ThreadQueue& q, WindowRec& w) override {
    XThread* t = T(q);
    auto* x = new XWin;
    w.native = x;
    const bool child = w.parent != nullptr;
    Window parentXid = t->root;
    if (child) {
      auto p = Rec(w.parent);
      if (!p || !p->native) return false;
      parentXid = W(*p)->xid;
    }
    x->topLevel = !child;
    x->layered = (w.exStyle & WS_EX_LAYERED) && !child;
    x->overrideRedirect =
        !child && (x->layered || ((w.style & WS_POPUP) && (w.exStyle & WS_EX_TOOLWINDOW)));
    XSetWindowAttributes a{};
    unsigned long mask = CWEventMask | CWBitGravity;
    a.bit_gravity = NorthWestGravity;
    a.event_mask = ExposureMask | StructureNotifyMask;
    if (!child) {
      a.event_mask |= KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                      EnterWindowMask | LeaveWindowMask | FocusChangeMask | PropertyChangeMask;
    }
    if (x->overrideRedirect) {
      a.override_redirect = True;
      mask |= CWOverrideRedirect;
    }
    int depth = CopyFromParent;
    Visual* visual = nullptr;
    if (x->layered && t->argbVisual) {
      visual = t->argbVisual;
      depth = 32;
      x->cmap = XCreateColormap(t->dpy, t->root, visual, AllocNone);
      a.colormap = x->cmap;
      a.border_pixel = 0;
      a.background_pixel = 0;
      mask |= CWColormap | CWBorderPixel | CWBackPixel;
    } else {
      a.background_pixmap = None;
      mask |= CWBackPixmap;
    }
    const RECT r = w.rect;
    x->xid = XCreateWindow(t->dpy, parentXid, r.left, r.top, static_cast<unsigned>(std::max(1L, long(r.right - r.left))),
                           static_cast<unsigned>(std::max(1L, long(r.bottom - r.top))), 0, depth, InputOutput,
                           visual ? visual : CopyFromParent, mask, &a);
    if (!x->xid) return false;
    XWindowAttributes wa;
    XGetWindowAttributes(t->dpy, x->xid, &wa);
    x->depth = wa.depth;
    x->visual = wa.visual;
    x->gc = XCreateGC(t->dpy, x->xid, 0, nullptr);
    w.nativeId = x->xid;
    t->byXid[x->xid] = w.handle;
    if (!child) {
      XSetWMProtocols(t->dpy, x->xid, &t->aDelete, 1);
      XClassHint ch;
      char resName[] = "installer";
      char resClass[] = "Installer";
      ch.res_name = resName;
      ch.res_class = resClass;
      XSetClassHint(t->dpy, x->xid, &ch);
      long pid = static_cast<long>(getpid());
      XChangeProperty(t->dpy, x->xid, t->aPid, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&pid), 1);
      XSizeHints* hints = XAllocSizeHints();
      hints->flags = PPosition | USPosition | PWinGravity;
      hints->x = r.left;
      hints->y = r.top;
      hints->win_gravity = StaticGravity;
      XSetWMNormalHints(t->dpy, x->xid, hints);
      XFree(hints);
      XWMHints* wmh = XAllocWMHints();
      wmh->flags = InputHint | StateHint;
      wmh->input = True;
      wmh->initial_state = NormalState;
      XSetWMHints(t->dpy, x->xid, wmh);
      XFree(wmh);
      if (w.owner) {
        if (auto o = Rec(w.owner)) XSetTransientForHint(t->dpy, x->xid, static_cast<Window>(o->nativeId));
      }
      Atom type = (w.exStyle & WS_EX_TOOLWINDOW) ? t->aTypeTooltip : (w.owner ? t->aTypeDialog : t->aTypeNormal);
      XChangeProperty(t->dpy, x->xid, t->aType, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&type),
                      1);
      SetTitle(q, w);
      ApplyStyle(q, w);
    }
    if (w.exStyle & WS_EX_TRANSPARENT) {
      XShapeCombineRectangles(t->dpy, x->xid, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    }
    return true;
  }

  void DestroyNative(ThreadQueue& q, WindowRec& w) override {
    XThread* t = T(q);
    XWin* x = W(w);
    if (!t || !x) return;
    if (x->xic) XDestroyIC(x->xic);
    if (x->gc) XFreeGC(t->dpy, x->gc);
    t->byXid.erase(x->xid);
    XDestroyWindow(t->dpy, x->xid);
    if (x->cmap) XFreeColormap(t->dpy, x->cmap);
    XFlush(t->dpy);
    delete x;
    w.native = nullptr;
  }

  void Show(ThreadQueue& q, WindowRec& w, bool show, bool activate) override {
    XThread* t = T(q);
    XWin* x = W(w);
    if (show) {
      if (x->topLevel && !x->overrideRedirect) {
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PPosition | USPosition | PWinGravity;
        hints->x = w.rect.left;
        hints->y = w.rect.top;
        hints->win_gravity = StaticGravity;
        XSetWMNormalHints(t->dpy, x->xid, hints);
        XFree(hints);
      }
      x->focusOnMap = activate;
      XMapRaised(t->dpy, x->xid);
      if (x->topLevel) XMoveWindow(t->dpy, x->xid, w.rect.left, w.rect.top);
    } else if (x->mapped || true) {
      x->selfUnmaps++;
      XUnmapWindow(t->dpy, x->xid);
    }
    XFlush(t->dpy);
  }

  void Iconify(ThreadQueue& q, WindowRec& w, bool iconic) override {
    XThread* t = T(q);
    XWin* x = W(w);
    if (!x->topLevel) return;
    if (iconic) {
      x->selfUnmaps++;
      if (t->wm) {
        XIconifyWindow(t->dpy, x->xid, t->screen);
      } else {
        XUnmapWindow(t->dpy, x->xid);
      }
    } else if (w.visible) {
      XMapRaised(t->dpy, x->xid);
    }
    XFlush(t->dpy);
  }

  void ApplyGeometry(ThreadQueue& q, WindowRec& w) override {
    XThread* t = T(q);
    XWin* x = W(w);
    RECT r;
    {
      // Other threads only read the rectangle; this thread is its only writer.
      r = w.rect;
    }
    XMoveResizeWindow(t->dpy, x->xid, r.left, r.top, static_cast<unsigned>(std::max(1L, long(r.right - r.left))),
                      static_cast<unsigned>(std::max(1L, long(r.bottom - r.top))));
    XFlush(t->dpy);
  }

  void ApplyStyle(ThreadQueue& q, WindowRec& w) override {
    XThread* t = T(q);
    XWin* x = W(w);
    if (!x->topLevel || x->overrideRedirect) return;
    long hints[5] = {2, 0, (w.style & WS_CAPTION) == WS_CAPTION ? 1 : 0, 0, 0};
    XChangeProperty(t->dpy, x->xid, t->aMotif, t->aMotif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints),
                    5);
  }

  void SetTitle(ThreadQueue& q, WindowRec& w) override {
    XThread* t = T(q);
    XWin* x = W(w);
    if (!x->topLevel) return;
    std::string utf8 = WideToUtf8(w.title);
    XChangeProperty(t->dpy, x->xid, t->aNetName, t->aUtf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    XStoreName(t->dpy, x->xid, utf8.c_str());
  }

  void SetRegion(ThreadQueue& q, WindowRec& w) override {
    XThread* t = T(q);
    XWin* x = W(w);
    if (!w.region) {
      XShapeCombineMask(t->dpy, x->xid, ShapeBounding, 0, 0, None, ShapeSet);
      return;
    }
    std::vector<XRectangle> rects;
    const WindowRegion& rg = *w.region;
    for (int y = 0; y < rg.height; ++y) {
      int x0 = -1;
      for (int xx = 0; xx <= rg.width; ++xx) {
        bool in = xx < rg.width && rg.inside[static_cast<size_t>(y) * rg.width + xx];
        if (in && x0 < 0) x0 = xx;
        if (!in && x0 >= 0) {
          rects.push_back(XRectangle{static_cast<short>(x0), static_cast<short>(y), static_cast<unsigned short>(xx - x0), 1});
          x0 = -1;
        }
      }
    }
    XShapeCombineRectangles(t->dpy, x->xid, ShapeBounding, 0, 0, rects.data(), static_cast<int>(rects.size()), ShapeSet,
                            YXBanded);
    XFlush(t->dpy);
  }

  void PutPixels(XThread& t, XWin& x, const uint32_t* px, int stride, int width, int height, const RECT& area) {
    XImage* img = XCreateImage(t.dpy, x.visual, static_cast<unsigned>(x.depth), ZPixmap, 0,
                               reinterpret_cast<char*>(const_cast<uint32_t*>(px)), static_cast<unsigned>(width),
                               static_cast<unsigned>(height), 32, stride);
    if (!img) return;
    img->byte_order = LSBFirst;
    XPutImage(t.dpy, x.xid, x.gc, img, area.left, area.top, area.left, area.top,
              static_cast<unsigned>(area.right - area.left), static_cast<unsigned>(area.bottom - area.top));
    img->data = nullptr;  // the pixels belong to the caller
    XDestroyImage(img);
  }

  void Present(ThreadQueue& q, WindowRec& w, const uint32_t* px, int stride, int width, int height,
               const RECT& area) override {
    PutPixels(*T(q), *W(w), px, stride, width, height, area);
  }

  void PresentLayered(ThreadQueue& q, WindowRec& w) override {
    if (w.imageW <= 0 || w.imageH <= 0) return;
    PutPixels(*T(q), *W(w), w.image.data(), w.imageW * 4, w.imageW, w.imageH, RECT{0, 0, w.imageW, w.imageH});
    XFlush(T(q)->dpy);
  }

  void FocusTop(ThreadQueue& q, WindowRec& w) override {
    XThread* t = T(q);
    XWin* x = W(w);
    if (!x->topLevel || x->overrideRedirect) return;
    if (!x->mapped) {
      x->focusOnMap = true;
      return;
    }
    XRaiseWindow(t->dpy, x->xid);
    XSetInputFocus(t->dpy, x->xid, RevertToParent, CurrentTime);
    XFlush(t->dpy);
  }

  void SetCursor(ThreadQueue& q, WindowRec* w, int id) override {
    XThread* t = T(q);
    // The cursor belongs to the window under the pointer (capture first).
    HWND target = q.capture ? q.capture : nullptr;
    if (!target) {
      for (HWND h : ZOrderSnapshot()) {
        auto r = Rec(h);
        if (!r || r->queue.get() != &q || !IsWindowVisible(h)) continue;
        RECT rc = ScreenRect(*r);
        if (q.cursor.x >= rc.left && q.cursor.x < rc.right && q.cursor.y >= rc.top && q.cursor.y < rc.bottom) target = h;
      }
    }
    std::shared_ptr<WindowRec> rec = w ? Rec(w->handle) : Rec(target);
    if (!rec || !rec->native) return;
    auto it = t->cursors.find(id);
    if (it == t->cursors.end()) it = t->cursors.emplace(id, XCreateFontCursor(t->dpy, XCursorFor(id))).first;
    XDefineCursor(t->dpy, W(*rec)->xid, it->second);
    // Children show their parent's cursor unless they define one.
    for (HWND c : rec->children) {
      if (auto cr = Rec(c)) XUndefineCursor(t->dpy, W(*cr)->xid);
    }
  }

  bool WmMoveResize(ThreadQueue& q, WindowRec& w, LRESULT hit, POINT screen) override {
    XThread* t = T(q);
    XWin* x = W(w);
    if (!t->wm || x->overrideRedirect) return false;
    long dir;
    switch (hit) {
      case HTCAPTION: dir = 8; break;
      case HTTOPLEFT: dir = 0; break;
      case HTTOP: dir = 1; break;
      case HTTOPRIGHT: dir = 2; break;
      case HTRIGHT: dir = 3; break;
      case HTBOTTOMRIGHT: dir = 4; break;
      case HTBOTTOM: dir = 5; break;
      case HTBOTTOMLEFT: dir = 6; break;
      case HTLEFT: dir = 7; break;
      default: return false;
    }
    XUngrabPointer(t->dpy, CurrentTime);
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = x->xid;
    ev.xclient.message_type = t->aMoveResize;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = screen.x;
    ev.xclient.data.l[1] = screen.y;
    ev.xclient.data.l[2] = dir;
    ev.xclient.data.l[3] = Button1;
    ev.xclient.data.l[4] = 1;
    XSendEvent(t->dpy, t->root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    XFlush(t->dpy);
    return true;
  }

  void SetIcon(ThreadQueue& q, WindowRec& w) override {
    XThread* t = T(q);
    XWin* x = W(w);
    if (!x->topLevel) return;
    std::vector<long> data;
    for (const IconImage& im : w.icons) {
      data.push_back(im.width);
      data.push_back(im.height);
      for (uint32_t p : im.argb) data.push_back(static_cast<long>(p));
    }
    if (data.empty()) {
      XDeleteProperty(t->dpy, x->xid, t->aIcon);
    } else {
      XChangeProperty(t->dpy, x->xid, t->aIcon, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
    }
    XFlush(t->dpy);
  }

  bool SetClipboard(ThreadQueue& q, WindowRec*, const std::wstring& text) override {
    XThread* t = T(q);
    XSetSelectionOwner(t->dpy, t->aClipboard, t->util, CurrentTime);
    if (XGetSelectionOwner(t->dpy, t->aClipboard) != t->util) return false;
    std::lock_guard<std::mutex> guard(g_clipMu);
    g_clipText = text;
    g_clipOwner = t->util;
    return true;
  }

  bool GetClipboard(ThreadQueue& q, WindowRec*, std::wstring* text, int timeoutMs) override {
    XThread* t = T(q);
    Window owner = XGetSelectionOwner(t->dpy, t->aClipboard);
    if (owner == None) return false;
    {
      std::lock_guard<std::mutex> guard(g_clipMu);
      if (owner == g_clipOwner) {
        *text = g_clipText;
        return true;
      }
    }
    XDeleteProperty(t->dpy, t->util, t->aPaste);
    XConvertSelection(t->dpy, t->aClipboard, t->aUtf8, t->aPaste, t->util, CurrentTime);
    XFlush(t->dpy);
    const uint64_t end = NowMs() + static_cast<uint64_t>(std::max(timeoutMs, 0));
    XEvent ev;
    for (;;) {
      if (XCheckTypedWindowEvent(t->dpy, t->util, SelectionNotify, &ev)) break;
      const uint64_t now = NowMs();
      if (now >= end) return false;
      pollfd pfd{ConnectionNumber(t->dpy), POLLIN, 0};
      poll(&pfd, 1, static_cast<int>(std::min<uint64_t>(end - now, 50)));
      XEventsQueued(t->dpy, QueuedAfterReading);
    }
    if (ev.xselection.property == None) return false;
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(t->dpy, t->util, t->aPaste, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after,
                           &data) != Success ||
        !data) {
      return false;
    }
    std::string bytes(reinterpret_cast<char*>(data), n);
    XFree(data);
    *text = Utf8ToWide(bytes);
    return true;
  }

  void ImeSpot(ThreadQueue& q, WindowRec& w, POINT client, int lineHeight, bool enable) override {
    XThread* t = T(q);
    HWND rootH = GetAncestorRoot(w.handle);
    auto root = Rec(rootH);
    if (!t->xim || !root || !root->native) return;
    XWin* x = W(*root);
    if (!enable) {
      if (x->xic) XUnsetICFocus(x->xic);
      return;
    }
    POINT spot = client;
    ClientToScreen(w.handle, &spot);
    ScreenToClient(rootH, &spot);
    XPoint xp{static_cast<short>(spot.x), static_cast<short>(spot.y + lineHeight)};
    EnsureIc(*t, *x, xp);
    if (!x->xic) return;
    if (x->xicSpot) {
      XVaNestedList attr = XVaCreateNestedList(0, XNSpotLocation, &xp, nullptr);
      XSetICValues(x->xic, XNPreeditAttributes, attr, nullptr);
      XFree(attr);
    }
    XSetICFocus(x->xic);
  }

  bool HasCompositor(ThreadQueue& q) override {
    XThread* t = T(q);
    return t && XGetSelectionOwner(t->dpy, t->aCm) != None;
  }

  void Screen(ThreadQueue& q, RECT* monitor, RECT* work) override {
    XThread* t = T(q);
    const int w = DisplayWidth(t->dpy, t->screen);
    const int h = DisplayHeight(t->dpy, t->screen);
    *monitor = RECT{0, 0, w, h};
    *work = *monitor;
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(t->dpy, t->root, t->aWorkArea, 0, 4, False, XA_CARDINAL, &type, &format, &n, &after,
                           &data) == Success &&
        data && n >= 4 && format == 32) {
      const long* v = reinterpret_cast<const long*>(data);
      RECT wa{static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]), static_cast<int32_t>(v[0] + v[2]),
              static_cast<int32_t>(v[1] + v[3])};
      if (wa.right > wa.left && wa.bottom > wa.top) *work = wa;
    }
    if (data) XFree(data);
  }

  POINT CursorPos(ThreadQueue& q) override {
    XThread* t = T(q);
    Window r, c;
    int rx = 0, ry = 0, wx, wy;
    unsigned mask;
    XQueryPointer(t->dpy, t->root, &r, &c, &rx, &ry, &wx, &wy, &mask);
    return POINT{rx, ry};
  }

 private:
  static bool DetectWm(XThread& t) {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(t.dpy, t.root, t.aSupportingWm, 0, 1, False, XA_WINDOW, &type, &format, &n, &after,
                           &data) == Success &&
        data && n == 1) {
      found = true;
    }
    if (data) XFree(data);
    return found;
  }

  void EnsureIc(XThread& t, XWin& x, XPoint spot) {
    if (x.xic || !t.xim) return;
    XIMStyles* styles = nullptr;
    bool position = false;
    if (!XGetIMValues(t.xim, XNQueryInputStyle, &styles, nullptr) && styles) {
      for (unsigned short i = 0; i < styles->count_styles; ++i) {
        if (styles->supported_styles[i] == (XIMPreeditPosition | XIMStatusNothing)) position = true;
      }
      XFree(styles);
    }
    if (position) {
      if (!t.fontSet) {
        char** missing = nullptr;
        int nMissing = 0;
        char* def = nullptr;
        t.fontSet = XCreateFontSet(t.dpy, "-*-*-medium-r-normal--16-*-*-*-*-*-*-*,*", &missing, &nMissing, &def);
        if (missing) XFreeStringList(missing);
      }
      if (t.fontSet) {
        XVaNestedList attr = XVaCreateNestedList(0, XNSpotLocation, &spot, XNFontSet, t.fontSet, nullptr);
        x.xic = XCreateIC(t.xim, XNInputStyle, XIMPreeditPosition | XIMStatusNothing, XNClientWindow, x.xid,
                          XNFocusWindow, x.xid, XNPreeditAttributes, attr, nullptr);
        XFree(attr);
        x.xicSpot = x.xic != nullptr;
      }
    }
    if (!x.xic) {
      x.xic = XCreateIC(t.xim, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, x.xid,
                        XNFocusWindow, x.xid, nullptr);
    }
    if (x.xic) {
      long mask = 0;
      XGetICValues(x.xic, XNFilterEvents, &mask, nullptr);
      XWindowAttributes wa;
      XGetWindowAttributes(t.dpy, x.xid, &wa);
      XSelectInput(t.dpy, x.xid, wa.your_event_mask | mask);
    }
  }

  void Translate(ThreadQueue& q, XThread& t, XEvent& ev) {
    switch (ev.type) {
      case SelectionRequest:
        AnswerSelection(t, ev.xselectionrequest);
        return;
      case SelectionClear: {
        std::lock_guard<std::mutex> guard(g_clipMu);
        if (g_clipOwner == t.util) g_clipOwner = 0;
        return;
      }
      case MappingNotify:
        XRefreshKeyboardMapping(&ev.xmapping);
        return;
      default:
        break;
    }
    auto it = t.byXid.find(ev.xany.window);
    if (it == t.byXid.end()) return;
    HWND hwnd = it->second;
    auto rec = Rec(hwnd);
    if (!rec || !rec->native) return;
    XWin* x = W(*rec);
    InputEvent in;
    in.hwnd = hwnd;
    switch (ev.type) {
      case MotionNotify:
        in.kind = InputEvent::EvPointerMove;
        in.screen = POINT{ev.xmotion.x_root, ev.xmotion.y_root};
        in.mods = Mods(ev.xmotion.state);
        break;
      case EnterNotify:
        in.kind = InputEvent::EvPointerMove;
        in.screen = POINT{ev.xcrossing.x_root, ev.xcrossing.y_root};
        in.mods = Mods(ev.xcrossing.state);
        break;
      case LeaveNotify:
        if (ev.xcrossing.mode != NotifyNormal || ev.xcrossing.detail == NotifyInferior) return;
        in.kind = InputEvent::EvPointerLeave;
        in.screen = POINT{ev.xcrossing.x_root, ev.xcrossing.y_root};
        in.mods = Mods(ev.xcrossing.state);
        break;
      case ButtonPress:
      case ButtonRelease: {
        const unsigned b = ev.xbutton.button;
        in.screen = POINT{ev.xbutton.x_root, ev.xbutton.y_root};
        in.mods = Mods(ev.xbutton.state);
        if (b == Button4 || b == Button5) {
          if (ev.type == ButtonRelease) return;
          in.kind = InputEvent::EvWheel;
          in.button = b == Button4 ? 1 : -1;
        } else if (b == Button1 || b == Button3) {
          in.kind = ev.type == ButtonPress ? InputEvent::EvButtonDown : InputEvent::EvButtonUp;
          in.button = b == Button1 ? 1 : 3;
        } else {
          return;
        }
        break;
      }
      case KeyPress: {
        char buf[64];
        KeySym ks = 0;
        int len;
        if (x->xic) {
          Status st;
          len = Xutf8LookupString(x->xic, &ev.xkey, buf, sizeof buf - 1, &ks, &st);
          if (st == XBufferOverflow) len = 0;
          if (st == XLookupChars) ks = 0;
        } else {
          len = XLookupString(&ev.xkey, buf, sizeof buf - 1, &ks, nullptr);
          // Latin-1 bytes from XLookupString: map them one to one.
          std::wstring w;
          for (int i = 0; i < len; ++i) w.push_back(static_cast<wchar_t>(static_cast<unsigned char>(buf[i])));
          in.text = w;
          len = -1;
        }
        if (len >= 0) in.text = Utf8ToWide(std::string(buf, static_cast<size_t>(len)));
        in.mods = Mods(ev.xkey.state);
        const UINT vk = VkFromKeysym(ks);
        if (ev.xkey.keycode == 0 || (!vk && !in.text.empty())) {
          // Committed input-method text (or a key that only types).
          if (!vk && ev.xkey.keycode != 0 && !in.text.empty() && !(in.mods & (MK_CONTROL | kAltMod))) {
            in.kind = InputEvent::EvKeyDown;
            in.vk = 0xE5;  // VK_PROCESSKEY: text without a key of its own
          } else {
            in.kind = InputEvent::EvText;
          }
          break;
        }
        if (!vk) return;
        in.kind = InputEvent::EvKeyDown;
        in.vk = vk;
        break;
      }
      case KeyRelease: {
        KeySym ks = XLookupKeysym(&ev.xkey, 0);
        const UINT vk = VkFromKeysym(ks);
        if (!vk) return;
        in.kind = InputEvent::EvKeyUp;
        in.vk = vk;
        in.mods = Mods(ev.xkey.state);
        break;
      }
      case Expose:
        if (x->layered) {
          PresentLayered(q, *rec);
          return;
        }
        in.kind = InputEvent::EvExpose;
        in.rect = RECT{ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height};
        break;
      case ConfigureNotify: {
        if (!x->topLevel || x->overrideRedirect) return;
        int rx = ev.xconfigure.x, ry = ev.xconfigure.y;
        if (!ev.xconfigure.send_event) {
          Window child;
          XTranslateCoordinates(t.dpy, x->xid, t.root, 0, 0, &rx, &ry, &child);
        }
        in.kind = InputEvent::EvConfigure;
        in.rect = RECT{rx, ry, rx + ev.xconfigure.width, ry + ev.xconfigure.height};
        break;
      }
      case MapNotify:
        x->mapped = true;
        if (x->focusOnMap) {
          x->focusOnMap = false;
          XSetInputFocus(t.dpy, x->xid, RevertToParent, CurrentTime);
        }
        if (x->topLevel && IsIconic(hwnd)) {
          in.kind = InputEvent::EvDeiconified;
          break;
        }
        return;
      case UnmapNotify:
        x->mapped = false;
        if (x->selfUnmaps > 0) {
          x->selfUnmaps--;
          return;
        }
        if (!x->topLevel) return;
        in.kind = InputEvent::EvIconified;
        break;
      case FocusIn:
      case FocusOut:
        if (ev.xfocus.detail == NotifyInferior || ev.xfocus.detail == NotifyPointer ||
            ev.xfocus.mode == NotifyGrab || ev.xfocus.mode == NotifyUngrab) {
          return;
        }
        in.kind = ev.type == FocusIn ? InputEvent::EvFocusIn : InputEvent::EvFocusOut;
        if (x->xic) {
          if (ev.type == FocusIn) {
            XSetICFocus(x->xic);
          } else {
            XUnsetICFocus(x->xic);
          }
        }
        break;
      case ClientMessage:
        if (ev.xclient.message_type == t.aProtocols && static_cast<Atom>(ev.xclient.data.l[0]) == t.aDelete) {
          in.kind = InputEvent::EvCloseRequest;
          break;
        }
        return;
      default:
        return;
    }
    std::lock_guard<std::mutex> guard(q.mu);
    q.input.push_back(std::move(in));
  }

  void AnswerSelection(XThread& t, const XSelectionRequestEvent& req) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = req.requestor;
    reply.xselection.selection = req.selection;
    reply.xselection.target = req.target;
    reply.xselection.time = req.time;
    reply.xselection.property = None;
    std::string utf8;
    bool owned;
    {
      std::lock_guard<std::mutex> guard(g_clipMu);
      owned = g_clipOwner == t.util;
      utf8 = WideToUtf8(g_clipText);
    }
    Atom prop = req.property != None ? req.property : req.target;
    if (owned && req.target == t.aTargets) {
      Atom targets[] = {t.aTargets, t.aUtf8, XA_STRING};
      XChangeProperty(t.dpy, req.requestor, prop, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(targets), 3);
      reply.xselection.property = prop;
    } else if (owned && (req.target == t.aUtf8 || req.target == XA_STRING)) {
      XChangeProperty(t.dpy, req.requestor, prop, req.target, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
      reply.xselection.property = prop;
    }
    XSendEvent(t.dpy, req.requestor, False, 0, &reply);
    XFlush(t.dpy);
  }
};

}  // namespace

std::unique_ptr<Backend> MakeX11Backend() { return std::make_unique<X11Backend>(); }

}  // namespace detail
}  // namespace platform
