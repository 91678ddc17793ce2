// Window fonts: the CJK alias for the skins' face names and the metrics.
#include "ui/core/SkinFont.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <string>

namespace {

std::string MatchedFamily(const char* family) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string name;
  FcChar8* value = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch) {
    name = reinterpret_cast<const char*>(value);
  }
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return name;
}

TEST(SkinFont, ChineseUiFacesMapToAnInstalledCjkFont) {
  SkinUI::InstallFontAliases();
  for (const char* face : {"微软雅黑", "Microsoft YaHei"}) {
    std::string family = MatchedFamily(face);
    EXPECT_TRUE(family == "WenQuanYi Micro Hei" || family == "Noto Sans CJK SC") << face << " -> " << family;
  }
}

TEST(SkinFont, AttributesAndMetrics) {
  SkinUI::SkinFont font(L"微软雅黑", 14, true, true, false);
  EXPECT_EQ(L"微软雅黑", font.Face());
  EXPECT_EQ(14, font.Size());
  EXPECT_TRUE(font.Bold());
  EXPECT_TRUE(font.Underline());
  EXPECT_FALSE(font.Italic());
  const SkinUI::SkinFont::Metrics& m = font.TextMetrics();
  EXPECT_GE(m.height, 14);
  EXPECT_LE(m.height, 24);
  EXPECT_GT(m.ascent, m.descent);
  EXPECT_GT(m.aveCharWidth, 0);

  SkinUI::SkinFont big(L"微软雅黑", 28);
  EXPECT_GT(big.TextMetrics().height, m.height);
  SkinUI::SkinFont longFace(std::wstring(40, L'x'), 12);
  EXPECT_EQ(31u, longFace.Face().size());
}

}  // namespace
