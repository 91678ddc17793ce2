// Fixtures for the skin drawing and resource tests: PNG and GIF bytes made at
// test time, ZIP archives built with zlib, and paint resources over plain maps.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/PaintResources.h"
#include "ui/core/SkinFont.h"
#include "ui/utils/SkinImage.h"

namespace drawtest {

// Straight-alpha 0xAARRGGBB pixels, row after row, encoded as a PNG.
std::string MakePng(int width, int height, const std::vector<uint32_t>& argb);
std::string MakeSolidPng(int width, int height, uint32_t argb);

// Frames of one size, each a solid colour, with delays in hundredths of a second;
// encoded by ImageMagick. Empty when it is not installed.
std::string MakeGif(const std::string& scratchDir, int width, int height,
                    const std::vector<uint32_t>& frameColours, const std::vector<int>& delays);

class ZipBuilder {
 public:
  enum Method { kStored = 0, kDeflate = 8 };
  void Add(const std::string& name, const std::string& data, Method method = kDeflate);
  // Adds an entry whose recorded method is `method` with the data stored as is.
  void AddRaw(const std::string& name, const std::string& data, uint16_t method);
  std::string Build() const;

 private:
  struct Item {
    std::string name;
    std::string stored;
    uint16_t method;
    uint32_t crc;
    uint32_t size;
  };
  std::vector<Item> m_items;
};

// Paint resources over an image map and a font list.
class FakeResources : public SkinUI::IPaintResourcesUI {
 public:
  void AddImage(const std::wstring& name, std::unique_ptr<SkinUI::SkinImage> image);
  void AddFont(std::unique_ptr<SkinUI::SkinFont> font) { m_fonts.push_back(std::move(font)); }
  const SkinUI::SkinImage* ImageFor(const std::wstring& name, const std::wstring& type, uint32_t mask) override;
  const SkinUI::SkinFont* FontAt(int index) const override;
  const SkinUI::SkinFont* DefaultFont() const override { return m_fonts.empty() ? nullptr : m_fonts[0].get(); }
  int Lookups(const std::wstring& name) const;

 private:
  std::map<std::wstring, std::unique_ptr<SkinUI::SkinImage>> m_images;
  std::map<std::wstring, int> m_lookups;
  std::vector<std::unique_ptr<SkinUI::SkinFont>> m_fonts;
};

// A decoded image of one colour (straight ARGB).
std::unique_ptr<SkinUI::SkinImage> SolidImage(int width, int height, uint32_t argb);

// Channels of a premultiplied pixel.
inline int A(uint32_t p) { return static_cast<int>(p >> 24); }
inline int R(uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
inline int G(uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int B(uint32_t p) { return static_cast<int>(p & 0xFF); }

}  // namespace drawtest
