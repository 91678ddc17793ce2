// A window's image cache: decoded skin images by name, owned until the window's
// manager goes. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/utils/NameMapUI.h"
#include "ui/utils/SkinImage.h"

namespace SkinUI {

class CImageCacheUI {
 public:
  CImageCacheUI() = default;
  CImageCacheUI(const CImageCacheUI&) = delete;
  CImageCacheUI& operator=(const CImageCacheUI&) = delete;

  // Cache only; null on a miss.
  const SkinImage* CachedImage(const std::wstring& name);
  // Looked up by name alone (a later type or mask does not matter), loaded on a miss.
  const SkinImage* ImageFor(const std::wstring& name, const std::wstring& type, uint32_t mask);
  // Loads and caches. With a type the name must start with a decimal digit (a
  // resource id). A name that cannot be loaded is not cached (null). When the
  // name is already cached the new image is dropped and the cached one returned.
  const SkinImage* CacheImage(const std::wstring& name, const std::wstring& type, uint32_t mask);
  void ClearImages();
  std::size_t Count() const { return m_images.GetSize(); }

 private:
  CNameMapUI<std::unique_ptr<SkinImage>> m_images;
};

}  // namespace SkinUI
