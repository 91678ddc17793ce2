// The shipped skin archive: the six window layouts, the images they name, the
// animations and the icons, checked as the framework and the installer read them.
#include <gtest/gtest.h>

#include <stb_image.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Resources.h"
#include "platform/Text.h"

namespace {

const std::string kSkinDir = std::string(INSTALLER_SOURCE_DIR) + "/res/skin/";
const std::string kResDir = std::string(INSTALLER_SOURCE_DIR) + "/res/";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

uint16_t U16(const std::string& b, std::size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}
uint32_t U32(const std::string& b, std::size_t at) { return U16(b, at) | (static_cast<uint32_t>(U16(b, at + 2)) << 16); }

// name="value" pairs of one tag, in order (the layouts use no entities).
std::vector<std::pair<std::string, std::string>> Attributes(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t at = 0;
  while ((at = text.find("=\"", at)) != std::string::npos) {
    std::size_t nameStart = at;
    while (nameStart > 0 && std::isalnum(static_cast<unsigned char>(text[nameStart - 1]))) --nameStart;
    const std::size_t close = text.find('"', at + 2);
    if (close == std::string::npos) break;
    out.emplace_back(text.substr(nameStart, at - nameStart), text.substr(at + 2, close - at - 2));
    at = close + 1;
  }
  return out;
}

std::string Attribute(const std::string& tag, const std::string& name) {
  for (const auto& [n, v] : Attributes(tag))
    if (n == name) return v;
  return {};
}

// Every image file an "...image" attribute names: a bare file name, or each
// file='...' of a descriptor.
std::set<std::string> ImagesNamed(const std::string& xml) {
  std::set<std::string> names;
  for (const auto& [name, value] : Attributes(xml)) {
    if (name.size() < 5 || name.compare(name.size() - 5, 5, "image") != 0) continue;
    if (value.find('=') == std::string::npos) {
      if (!value.empty()) names.insert(value);
      continue;
    }
    for (std::size_t at = 0; (at = value.find("file='", at)) != std::string::npos;) {
      const std::size_t close = value.find('\'', at + 6);
      if (close == std::string::npos) break;
      names.insert(value.substr(at + 6, close - at - 6));
      at = close + 1;
    }
  }
  return names;
}

struct SkinCase {
  const char* file;
  const char* size;
  const char* caption;
};

const SkinCase kSkins[] = {
    {"CheckWnd.xml", "600,422", "0,0,0,422"},   {"InstallWnd.xml", "600,422", "0,0,0,312"},
    {"ProcessWnd.xml", "600,422", "0,0,0,312"}, {"StartUpdateWnd.xml", "600,422", "0,0,0,422"},
    {"CompleteWnd.xml", "600,422", "0,0,0,422"}, {"MainWnd.xml", "400,200", "0,0,0,40"},
};

constexpr const char* kDeclaration = R"(<?xml version="1.0" encoding="utf-8" standalone="yes" ?>)";

TEST(SkinFiles, EachLayoutStartsWithACommentThenTheDeclarationAndHasItsWindowSize) {
  for (const SkinCase& c : kSkins) {
    SCOPED_TRACE(c.file);
    const std::string xml = ReadFile(kSkinDir + c.file);
    ASSERT_FALSE(xml.empty());
    EXPECT_TRUE(platform::IsValidUtf8(xml));
    ASSERT_EQ(xml.rfind("<!--", 0), 0u) << "the file must open with a comment";
    const std::size_t end = xml.find("-->");
    ASSERT_NE(end, std::string::npos);
    const std::size_t decl = xml.find_first_not_of(" \t\r\n", end + 3);
    ASSERT_NE(decl, std::string::npos);
    EXPECT_EQ(xml.compare(decl, std::strlen(kDeclaration), kDeclaration), 0);

    const std::size_t window = xml.find("<Window ", decl);
    ASSERT_NE(window, std::string::npos);
    const std::string tag = xml.substr(window, xml.find('>', window) - window);
    EXPECT_EQ(Attribute(tag, "size"), c.size);
    EXPECT_EQ(Attribute(tag, "caption"), c.caption);
    EXPECT_EQ(Attribute(tag, "roundcorner"), "4,4");
  }
}

TEST(SkinFiles, EveryImageTheLayoutsNameIsShippedAndDecodes) {
  std::set<std::string> all;
  for (const SkinCase& c : kSkins) {
    for (const std::string& name : ImagesNamed(ReadFile(kSkinDir + c.file))) all.insert(name);
  }
  ASSERT_GE(all.size(), 15u);  // the scanner found the layouts' images at all
  for (const std::string& name : all) {
    SCOPED_TRACE(name);
    const std::string bytes = ReadFile(kSkinDir + name);
    ASSERT_FALSE(bytes.empty()) << "missing from res/skin/";
    int w = 0, h = 0, n = 0;
    EXPECT_TRUE(stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                      static_cast<int>(bytes.size()), &w, &h, &n))
        << stbi_failure_reason();
  }
}

// Sizes the layouts place the images at; a wrong size is stretched or cut.
TEST(SkinFiles, ImagesHaveTheSizesTheLayoutsPlaceThemAt) {
  struct Size {
    const char* path;
    int w, h;
  };
  const Size sizes[] = {
      {"skin/background.png", 600, 422}, {"skin/background2.png", 600, 210},
      {"skin/playPhoto.gif", 600, 312},  {"skin/environment.gif", 20, 20},
      {"skin/expand.png", 8, 6},         {"skin/reduce.png", 8, 6},
      {"skin/close_n.png", 13, 13},      {"skin/close_o.png", 13, 13},
      {"skin/unchecked.png", 16, 16},    {"skin/checked.png", 16, 16},
      {"skin/btn_normal.png", 200, 50},  {"skin/btn_path_normal.png", 60, 32},
      {"skin/progress.png", 600, 5},     {"lefttitle.png", 200, 25},
      {"oem.png", 96, 96},
  };
  for (const Size& s : sizes) {
    SCOPED_TRACE(s.path);
    const std::string bytes = ReadFile(kResDir + s.path);
    int w = 0, h = 0, n = 0;
    ASSERT_TRUE(stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                      static_cast<int>(bytes.size()), &w, &h, &n));
    EXPECT_EQ(w, s.w);
    EXPECT_EQ(h, s.h);
  }
  // The shadow's nine-grid corners (23, 13, 23, 33) must fit with a middle left over.
  const std::string shadow = ReadFile(kSkinDir + "shadow.png");
  int w = 0, h = 0, n = 0;
  ASSERT_TRUE(stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(shadow.data()),
                                    static_cast<int>(shadow.size()), &w, &h, &n));
  EXPECT_GT(w, 23 + 23);
  EXPECT_GT(h, 13 + 33);
}

// A disabled control is painted with the light disabled background first; any
// transparent pixel of the disabled image lets it through.
TEST(SkinFiles, DisabledButtonImageIsOpaque) {
  const std::string bytes = ReadFile(kSkinDir + "btn_dis.png");
  int w = 0, h = 0, n = 0;
  stbi_uc* px = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                      static_cast<int>(bytes.size()), &w, &h, &n, 4);
  ASSERT_NE(px, nullptr);
  int seeThrough = 0;
  for (int i = 0; i < w * h; ++i) seeThrough += px[i * 4 + 3] != 255;
  EXPECT_EQ(seeThrough, 0);
  stbi_image_free(px);
}

TEST(SkinFiles, AnimationsHaveSeveralFramesWithDelays) {
  for (const char* name : {"playPhoto.gif", "environment.gif"}) {
    SCOPED_TRACE(name);
    const std::string bytes = ReadFile(kSkinDir + name);
    int* delays = nullptr;
    int w = 0, h = 0, frames = 0, comp = 0;
    stbi_uc* px = stbi_load_gif_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                            static_cast<int>(bytes.size()), &delays, &w, &h,
                                            &frames, &comp, 4);
    ASSERT_NE(px, nullptr) << stbi_failure_reason();
    EXPECT_GE(frames, 8);
    for (int i = 0; i < frames; ++i) EXPECT_GT(delays[i], 0) << "frame " << i;
    // Decoded frames are whole pictures: the optimised frames leave no hole.
    const std::size_t frameBytes = static_cast<std::size_t>(w) * h * 4;
    std::size_t transparent = 0;
    for (std::size_t i = 0; i < frameBytes * frames; i += 4) transparent += px[i + 3] == 0;
    EXPECT_EQ(transparent, 0u);
    // And they differ: it moves.
    EXPECT_NE(0, std::memcmp(px, px + frameBytes, frameBytes));
    stbi_image_free(px);
    stbi_image_free(delays);
  }
}

// The installer renders the 64 x 64 image of each icon group into Cloud.ico.
TEST(SkinFiles, IconsHoldA64By64ImageWith32BitAlpha) {
  for (const char* name : {"icons/app.ico", "icons/cloud.ico"}) {
    SCOPED_TRACE(name);
    const std::string ico = ReadFile(kResDir + name);
    ASSERT_GE(ico.size(), 6u);
    ASSERT_EQ(U16(ico, 0), 0);
    ASSERT_EQ(U16(ico, 2), 1);
    const int count = U16(ico, 4);
    ASSERT_GE(ico.size(), 6u + 16u * count);
    bool found = false;
    for (int i = 0; i < count; ++i) {
      const std::size_t e = 6 + 16 * i;
      const uint32_t size = U32(ico, e + 8), offset = U32(ico, e + 12);
      ASSERT_LE(static_cast<uint64_t>(offset) + size, ico.size()) << "entry " << i;
      if (static_cast<uint8_t>(ico[e]) != 64 || static_cast<uint8_t>(ico[e + 1]) != 64) continue;
      ASSERT_EQ(U16(ico, e + 6), 32);
      // A DIB: header 40, width 64, doubled height, 32 bits, uncompressed, with
      // the colour rows and the mask inside the entry.
      ASSERT_GE(size, 40u + 64 * 64 * 4 + 8 * 64);
      EXPECT_EQ(U32(ico, offset), 40u);
      EXPECT_EQ(U32(ico, offset + 4), 64u);
      EXPECT_EQ(U32(ico, offset + 8), 128u);
      EXPECT_EQ(U16(ico, offset + 14), 32);
      EXPECT_EQ(U32(ico, offset + 16), 0u);
      std::size_t clear = 0, opaque = 0;
      for (std::size_t p = offset + 40 + 3; p < offset + 40 + 64 * 64 * 4; p += 4) {
        clear += static_cast<uint8_t>(ico[p]) == 0;
        opaque += static_cast<uint8_t>(ico[p]) == 255;
      }
      EXPECT_GT(clear, 0u) << "no transparent corner: the alpha channel is unused";
      EXPECT_GT(opaque, 64u * 64 / 2);
      found = true;
    }
    EXPECT_TRUE(found) << "no 64 x 64 image";
  }
}

// The archive compiled into the program carries the six layouts and their images.
TEST(SkinFiles, PackagedArchiveListsEveryLayoutAndImage) {
  platform::ResourceBlob blob;
  ASSERT_TRUE(platform::FindResource(platform::kResZip, platform::kIdSkinZip, &blob));
  const std::string zip(reinterpret_cast<const char*>(blob.data), blob.size);
  const std::size_t eocd = zip.rfind(std::string("PK\x05\x06", 4));
  ASSERT_NE(eocd, std::string::npos);
  const int entries = U16(zip, eocd + 10);
  std::size_t at = U32(zip, eocd + 16);
  std::set<std::string> names;
  for (int i = 0; i < entries; ++i) {
    ASSERT_LE(at + 46, zip.size());
    ASSERT_EQ(U32(zip, at), 0x02014b50u);
    const uint16_t nameLen = U16(zip, at + 28), extra = U16(zip, at + 30), comment = U16(zip, at + 32);
    names.insert(zip.substr(at + 46, nameLen));
    at += 46 + nameLen + extra + comment;
  }
  std::set<std::string> wanted;
  for (const SkinCase& c : kSkins) {
    wanted.insert(c.file);
    for (const std::string& name : ImagesNamed(ReadFile(kSkinDir + c.file))) wanted.insert(name);
  }
  for (const std::string& name : wanted) EXPECT_TRUE(names.count(name)) << name << " is not in the archive";
}

}  // namespace
