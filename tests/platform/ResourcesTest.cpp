// The compiled resource table and the appended bundle format.
#include <gtest/gtest.h>

#include "platform/ResourceBundle.h"
#include "platform/Resources.h"

namespace {

TEST(ResourcesTest, CompiledTableHoldsTheCaBundle) {
  platform::ResourceBlob blob;
  ASSERT_TRUE(platform::FindResource(platform::kResData, platform::kIdCaCert, &blob));
  ASSERT_GT(blob.size, 100u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(blob.data), 27), "-----BEGIN CERTIFICATE-----");
  EXPECT_FALSE(platform::FindResource(platform::kResData, 9999, &blob));
  EXPECT_FALSE(platform::FindResource("PNG", platform::kIdCaCert, &blob));
}

TEST(ResourcesTest, BundleRoundTripsAndRejectsDamage) {
  std::vector<unsigned char> exe(100, 0x7F);
  platform::BundleEntry a{"DATA", 105, 0, 0};
  platform::BundleEntry b{"PNG", 108, 0, 0};
  auto tail = platform::BuildBundle(exe.size(), {{a, {'a', 'b', 'c'}}, {b, {}}});
  exe.insert(exe.end(), tail.begin(), tail.end());

  std::vector<platform::BundleEntry> entries;
  ASSERT_TRUE(platform::ParseBundle(exe.data(), exe.size(), &entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].type, "DATA");
  EXPECT_EQ(entries[0].id, 105);
  EXPECT_EQ(std::string(exe.begin() + entries[0].offset, exe.begin() + entries[0].offset + 3), "abc");
  EXPECT_EQ(entries[1].size, 0u);

  // A cut index or a plain file is no bundle.
  std::vector<unsigned char> cut(exe.begin(), exe.end() - 20);
  EXPECT_FALSE(platform::ParseBundle(cut.data(), cut.size(), &entries));
  std::vector<unsigned char> plain(64, 1);
  EXPECT_FALSE(platform::ParseBundle(plain.data(), plain.size(), &entries));
}

}  // namespace
