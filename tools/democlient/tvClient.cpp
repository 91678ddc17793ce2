// The demo cloud-PC client: a window that says which version runs (or, without a
// display, a process that waits until it is stopped), so an installation can be
// seen to have started the client it unpacked.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <fcntl.h>
#include <pango/pangocairo.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Marker.h"

#ifndef DEMOCLIENT_VERSION
#error "DEMOCLIENT_VERSION must be defined"
#endif

namespace {

constexpr const char* kVersion = DEMOCLIENT_VERSION;
constexpr int kWidth = 640, kHeight = 400;

int g_signalPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  ssize_t ignored = write(g_signalPipe[1], &byte, 1);
  (void)ignored;
}

bool InstallStopHandlers() {
  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  return sigaction(SIGTERM, &sa, nullptr) == 0 && sigaction(SIGINT, &sa, nullptr) == 0 &&
         sigaction(SIGHUP, &sa, nullptr) == 0;
}

// The browser component runs as a child that ends with the client.
void StartBrowserComponent(const std::string& folder) {
  const std::string helper = folder + "/QtWebEngineProcess.exe";
  if (access(helper.c_str(), X_OK) != 0) return;
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return;  // parent, or fork failed: the client runs without it
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(0);
  execl(helper.c_str(), helper.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

void WaitForStop() {
  pollfd p{g_signalPipe[0], POLLIN, 0};
  while (poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
}

void DrawText(cairo_t* cr, const std::string& markup, double px, double centreX, double top,
              double alpha) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string("WenQuanYi Micro Hei");
  pango_font_description_set_absolute_size(font, px * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_markup(layout, markup.c_str(), -1);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  cairo_move_to(cr, centreX - w / 2.0, top);
  cairo_set_source_rgba(cr, 1, 1, 1, alpha);
  pango_cairo_show_layout(cr, layout);
  pango_font_description_free(font);
  g_object_unref(layout);
}

// The brand image that the installer placed beside the client, on a dark page.
void Paint(cairo_surface_t* target, cairo_surface_t* logo, int w, int h) {
  cairo_t* cr = cairo_create(target);
  cairo_set_source_rgb(cr, 0x1C / 255.0, 0x1C / 255.0, 0x1E / 255.0);
  cairo_paint(cr);
  cairo_pattern_t* glow = cairo_pattern_create_radial(w / 2.0, h * 0.36, 0, w / 2.0, h * 0.36, w * 0.6);
  cairo_pattern_add_color_stop_rgba(glow, 0, 0x2E / 255.0, 0x7B / 255.0, 1.0, 0.20);
  cairo_pattern_add_color_stop_rgba(glow, 1, 0x2E / 255.0, 0x7B / 255.0, 1.0, 0.0);
  cairo_set_source(cr, glow);
  cairo_paint(cr);
  cairo_pattern_destroy(glow);
  const double top = h / 2.0 - 110;
  if (logo) {
    const double lw = cairo_image_surface_get_width(logo);
    const double lh = cairo_image_surface_get_height(logo);
    const double scale = std::min(1.0, 96 / std::max(lw, lh));
    cairo_save(cr);
    cairo_translate(cr, (w - lw * scale) / 2, top + (96 - lh * scale) / 2);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, logo, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
  }
  const std::string title = std::string("<b>Tarvolen</b> 云电脑 ") + kVersion;
  DrawText(cr, title, 26, w / 2.0, top + 120, 0.96);
  DrawText(cr, "客户端已启动 · 演示版本", 15, w / 2.0, top + 164, 0.6);
  cairo_destroy(cr);
}

int RunWindow(Display* dpy, const std::string& folder) {
  const int screen = DefaultScreen(dpy);
  Window win = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, kWidth, kHeight, 0,
                                   BlackPixel(dpy, screen), BlackPixel(dpy, screen));
  const std::string title = std::string("Tarvolen 云电脑 ") + kVersion;
  XStoreName(dpy, win, title.c_str());
  XChangeProperty(dpy, win, XInternAtom(dpy, "_NET_WM_NAME", False),
                  XInternAtom(dpy, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));
  XClassHint* hint = XAllocClassHint();
  hint->res_name = const_cast<char*>("tvClient");
  hint->res_class = const_cast<char*>("tvClient");
  XSetClassHint(dpy, win, hint);
  XFree(hint);
  Atom wmDelete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(dpy, win, &wmDelete, 1);
  XSelectInput(dpy, win, ExposureMask | StructureNotifyMask);
  XMapWindow(dpy, win);

  int w = kWidth, h = kHeight;
  cairo_surface_t* surface = cairo_xlib_surface_create(dpy, win, DefaultVisual(dpy, screen), w, h);
  cairo_surface_t* logo = cairo_image_surface_create_from_png((folder + "/oem.png").c_str());
  if (cairo_surface_status(logo) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(logo);
    logo = nullptr;
  }

  bool running = true;
  pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
  while (running) {
    while (running && XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type == Expose && ev.xexpose.count == 0) {
        Paint(surface, logo, w, h);
        cairo_surface_flush(surface);
      } else if (ev.type == ConfigureNotify) {
        w = ev.xconfigure.width;
        h = ev.xconfigure.height;
        cairo_xlib_surface_set_size(surface, w, h);
      } else if (ev.type == ClientMessage &&
                 static_cast<Atom>(ev.xclient.data.l[0]) == wmDelete) {
        running = false;
      }
    }
    XFlush(dpy);
    if (!running) break;
    if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) running = false;
    if (fds[0].revents & (POLLERR | POLLHUP)) running = false;
  }
  if (logo) cairo_surface_destroy(logo);
  cairo_surface_destroy(surface);
  XDestroyWindow(dpy, win);
  return 0;
}

}  // namespace

int main() {
  const std::string folder = democlient::ExecutableFolder();
  if (!InstallStopHandlers()) return 1;
  democlient::WriteStartedMarker(kVersion);
  StartBrowserComponent(folder);

  Display* dpy = getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr;
  if (!dpy) {
    WaitForStop();
    return 0;
  }
  const int rc = RunWindow(dpy, folder);
  XCloseDisplay(dpy);
  return rc;
}
