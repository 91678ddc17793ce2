// What drawing needs from a window: its images and fonts. The window's skin
// manager implements it.
#pragma once

#include <cstdint>
#include <string>

namespace SkinUI {

struct SkinImage;
class SkinFont;

class IPaintResourcesUI {
 public:
  virtual ~IPaintResourcesUI() = default;
  // The window's cached image, loaded on a miss; null when it cannot be loaded.
  virtual const SkinImage* ImageFor(const std::wstring& name, const std::wstring& type,
                                    uint32_t mask) = 0;
  // The font at `index`; the window's default font when out of range.
  virtual const SkinFont* FontAt(int index) const = 0;
  virtual const SkinFont* DefaultFont() const = 0;
};

}  // namespace SkinUI
