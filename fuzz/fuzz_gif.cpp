// The animated image loader on arbitrary files (GIF and still images).
#include <cstddef>
#include <cstdint>

#include "ui/utils/AnimatedImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto image = SkinUI::CAnimatedImage::Decode(data, size);
  if (image) {
    for (int i = -1; i <= image->FrameCount(); ++i) {
      const uint32_t* pixels = image->FramePixels(i);
      if (pixels != nullptr) {
        volatile uint32_t last = pixels[static_cast<size_t>(image->Width()) * image->Height() - 1];
        (void)last;
      }
      image->DelayOf(i);
    }
  }
  return 0;
}
