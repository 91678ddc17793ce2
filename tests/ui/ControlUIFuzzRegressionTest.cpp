// Inputs that once broke the control base, kept so the suite guards them.
#include <gtest/gtest.h>

#include <string>

#include "ui/controls/ButtonUI.h"
#include "support/ScratchEnv.h"

namespace {

std::string ReadInput(const char* name) { return testsupport::ReadRegressionInput("ui", name); }

// A "pos" whose right minus left does not fit an int: the width was computed with
// signed overflow; now such a size is ignored like any negative one.
TEST(ControlUIFuzzRegression, PosWithOverflowingSpanIsIgnored) {
  const std::string bytes = ReadInput("pos_overflow.txt");
  ASSERT_FALSE(bytes.empty());
  SkinUI::CButtonUI fuzzed;
  fuzzed.ApplyAttributeList(std::wstring(bytes.begin(), bytes.end()));

  const struct {
    const wchar_t* pos;
    int width, height;
  } cases[] = {
      {L"pos=\"-2000000000,0,2000000000,10\"", 0, 10},
      {L"pos=\"0,-2147483648,10,2147483647\"", 10, 0},
      {L"pos=\"5,6,25,46\"", 20, 40},
  };
  for (const auto& c : cases) {
    SkinUI::CButtonUI button;
    button.ApplyAttributeList(c.pos);
    EXPECT_EQ(button.FixedWidth(), c.width) << c.pos;
    EXPECT_EQ(button.FixedHeight(), c.height) << c.pos;
  }
}

}  // namespace
