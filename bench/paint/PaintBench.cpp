// Times full repaints of a page-sized skin (600 x 422: background image, the 600 x 312
// animated GIF, six labels and six buttons, the installer's own images) through
// CSkinManagerUI::Paint into a surface.
// Usage: bench_paint [repaints] [parts|general]   (default 1000)
// Every run also checks that the page's pixels equal those of the general drawing path
// (the drawing shortcuts switched off); "general" times that path instead.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/controls/ControlUI.h"
#include "ui/core/PaintDC.h"
#include "ui/core/SkinBuilder.h"
#include "ui/core/SkinManagerUI.h"
#include "ui/utils/SkinResources.h"

using namespace SkinUI;

namespace {

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class BenchHost : public IManagerHostUI {
 public:
  void Invalidate(const RECT&) override {}
  RECT ClientRect() const override { return RECT{0, 0, 600, 422}; }
  void ResizeClient(int, int) override {}
  bool SetNativeTimer(unsigned, unsigned) override { return true; }
  void KillNativeTimer(unsigned) override {}
  void SetCapture() override {}
  void ReleaseCapture() override {}
  void SetCursor(UICursor) override {}
  void TrackMouse(unsigned) override {}
  void ShowToolTip(const std::wstring&, const RECT&, int) override {}
  void HideToolTip() override {}
  bool HasNativeFocus() const override { return true; }
  void SetNativeFocus() override {}
  IEditWindowUI* CreateEditWindow(CEditUI&) override { return nullptr; }
  void PostSelf(unsigned, uintptr_t, intptr_t) override {}
  void CloseWindow(int) override {}
};

struct Variant {
  const char* name;
  bool texts, gif, background;
};

// Builds the page (optionally without some parts) and times `repaints` full repaints.
// Returns false when the skin does not build or nothing was drawn.
bool RunVariant(const Variant& v, int repaints) {
  std::wstring bk = v.background ? L" bkimage=\"file='background.png' dest='0,0,600,422'\"" : L"";
  std::wstring xml = L"<Window size=\"600,422\" caption=\"0,0,0,312\" roundcorner=\"4,4\">"
                     L"<Font name=\"微软雅黑\" size=\"16\"/><Font name=\"微软雅黑\" size=\"14\"/>"
                     L"<VerticalLayout bkcolor=\"0xFFFFFFFF\"" + bk + L">";
  if (v.gif) xml += L"<GifAnim bkimage=\"playPhoto.gif\" autosize=\"true\" float=\"true\" pos=\"0,0,600,312\"/>";
  for (int i = 0; i < 6; ++i) {
    int y = 316 + (i / 2) * 34;
    int x = (i % 2) * 300;
    std::wstring label = v.texts ? L"正在安装 " + std::to_wstring(i + 1) + L"0%" : L"";
    std::wstring caption = v.texts ? L"立即体验" : L"";
    xml += L"<Label float=\"true\" pos=\"" + std::to_wstring(x + 10) + L"," + std::to_wstring(y) + L"," +
           std::to_wstring(x + 150) + L"," + std::to_wstring(y + 30) + L"\" font=\"" + std::to_wstring(i % 2) +
           L"\" textcolor=\"#FFFFFF\" align=\"center\" text=\"" + label + L"\"/>";
    xml += L"<Button float=\"true\" pos=\"" + std::to_wstring(x + 160) + L"," + std::to_wstring(y) + L"," +
           std::to_wstring(x + 290) + L"," + std::to_wstring(y + 32) +
           L"\" font=\"1\" normalimage=\"btn_normal.png\" hotimage=\"btn_hot.png\" text=\"" + caption +
           L"\" textcolor=\"0xFFFFFFFF\"/>";
  }
  xml += L"</VerticalLayout></Window>";

  CSkinManagerUI manager;
  BenchHost host;
  manager.Init(&host);
  CSkinBuilder builder;
  std::unique_ptr<CControlUI> root = builder.Create(xml, L"", nullptr, &manager);
  if (!root || !manager.AttachRoot(std::move(root))) {
    std::fprintf(stderr, "skin did not build\n");
    return false;
  }
  CSurfaceUI surface(600, 422);
  const RECT all{0, 0, 600, 422};
  manager.Paint(surface, all);  // layout, fonts and image decoding happen here
  uint32_t probe = surface.PixelAt(300, 100);

  // CPU time as well: on a shared machine the wall clock also counts waiting for a core.
  const std::clock_t cpuStart = std::clock();
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < repaints; ++i) manager.Paint(surface, all);
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;

  // The same page through the general path, pixel by pixel.
  const bool shortcuts = CPaintDC::Shortcuts();
  CPaintDC::SetShortcuts(false);
  CSurfaceUI general(600, 422);
  manager.Paint(general, all);
  CPaintDC::SetShortcuts(shortcuts);
  int differ = 0;
  for (int y = 0; y < 422; ++y) {
    for (int x = 0; x < 600; ++x) differ += surface.PixelAt(x, y) != general.PixelAt(x, y) ? 1 : 0;
  }

  std::printf("%-22s %d full repaints of a 600x422 page: %.3f ms per repaint (CPU %.3f ms; pixel %08X; %d pixels "
              "differ from the general path)\n",
              v.name, repaints, ms / repaints, cpuMs / repaints, probe, differ);
  return probe != 0 && differ == 0;
}

}  // namespace

// bench_paint [repaints] [parts|general]: "parts" also times the page without texts, without
// the animation and without the background image, to show where the time goes.
int main(int argc, char** argv) {
  const int repaints = argc > 1 ? std::atoi(argv[1]) : 1000;
  const bool parts = argc > 2 && std::string(argv[2]) == "parts";
  if (argc > 2 && std::string(argv[2]) == "general") CPaintDC::SetShortcuts(false);
  // The installer's own skin images: background, the 600 x 312 animation, buttons.
  SetResourceFolder(W(SKIN_DIR).c_str());
  bool ok = RunVariant(Variant{"page", true, true, true}, repaints);
  if (parts) {
    ok = RunVariant(Variant{"without texts", false, true, true}, repaints) && ok;
    ok = RunVariant(Variant{"without animation", true, false, true}, repaints) && ok;
    ok = RunVariant(Variant{"without background", true, true, false}, repaints) && ok;
  }
  return ok ? 0 : 1;
}
