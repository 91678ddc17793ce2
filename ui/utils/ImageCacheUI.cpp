// A window's image cache (see ImageCacheUI.h).
#include "ui/utils/ImageCacheUI.h"

#include "ui/utils/SkinResources.h"

namespace SkinUI {

const SkinImage* CImageCacheUI::CachedImage(const std::wstring& name) {
  std::unique_ptr<SkinImage>* found = m_images.Find(name);
  return found ? found->get() : nullptr;
}

const SkinImage* CImageCacheUI::ImageFor(const std::wstring& name, const std::wstring& type, uint32_t mask) {
  if (const SkinImage* cached = CachedImage(name)) return cached;
  return CacheImage(name, type, mask);
}

const SkinImage* CImageCacheUI::CacheImage(const std::wstring& name, const std::wstring& type, uint32_t mask) {
  if (name.empty()) return nullptr;
  // A packaged resource is named by its numeric id.
  if (!type.empty() && !(name[0] >= L'0' && name[0] <= L'9')) return nullptr;
  std::unique_ptr<SkinImage> image = LoadSkinImage(name, type, mask);
  if (!image) return nullptr;
  image->m_strResType = type;
  image->m_dwMask = mask;
  SkinImage* raw = image.get();
  if (!m_images.Insert(name, std::move(image))) return CachedImage(name);
  return raw;
}

void CImageCacheUI::ClearImages() { m_images.RemoveAll(); }

}  // namespace SkinUI
