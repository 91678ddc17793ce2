// The image descriptor language: parsed alone, then drawn through a window's
// manager (images from the packaged skin) into a small surface.
// Input: descriptor, optionally "\n" and a modifier.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "ui/FakeHost.h"
#include "ui/core/RenderEngine.h"
#include "ui/utils/ImageCacheUI.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::wstring text = fuzz::Widen(data, size);
  std::wstring modifier;
  const size_t cut = text.find(L'\n');
  if (cut != std::wstring::npos) {
    modifier = text.substr(cut + 1);
    text.resize(cut);
  }
  const RECT item{3, 4, 60, 40};
  SkinUI::ImageDrawSpec drawSpec(text, item);
  int pending = 0;
  drawSpec.Parse(text, item, [&](const SkinUI::ImageDrawSpec&) { ++pending; });
  drawSpec.Parse(modifier, item, [&](const SkinUI::ImageDrawSpec&) { ++pending; });
  volatile RECT r = SkinUI::ParseRectValue(text);
  (void)r;

  static SkinUI::CSkinManagerUI manager;
  static uitest::FakeHost host{manager, 64, 48};
  SkinUI::CPaintDC dc(host.surface);
  SkinUI::CRenderEngine::DrawImage(&dc, &manager, item, RECT{0, 0, 64, 48}, text, modifier);
  // A skin names a fixed set of images; the inputs here name new ones without
  // end, and each would stay cached.
  manager.ImageCache().ClearImages();
  return 0;
}
