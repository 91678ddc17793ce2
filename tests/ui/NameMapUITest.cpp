// The framework's string-keyed map: its hash, bucket placement, head insertion,
// move-to-front lookups and enumeration order.
#include "ui/utils/NameMapUI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using SkinUI::CNameMapUI;

namespace {

std::vector<std::wstring> Order(const CNameMapUI<int>& map) {
  std::vector<std::wstring> keys;
  for (std::size_t i = 0; const std::wstring* key = map.KeyAt(i); ++i) keys.push_back(*key);
  return keys;
}

TEST(NameMapUI, HashRunsFromTheLastCharacter) {
  struct Case {
    const wchar_t* key;
    uint32_t hash;
  } cases[] = {
      {L"", 0u},
      {L"a", 97u},
      {L"ab", 98u * 33 + 97},                // 3331
      {L"abc", (99u * 33 + 98) * 33 + 97},   // 111142
      {L"ba", 97u * 33 + 98},
      // Wraps in 32 bits: 33^7 * 'z' alone is beyond 2^32.
      {L"zzzzzzzz", 1813671632u},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.hash, CNameMapUI<int>::HashKey(c.key)) << static_cast<int>(std::wstring(c.key).size());
  }
  CNameMapUI<int> map;
  EXPECT_EQ(83u, map.BucketCount());
  EXPECT_EQ(3331u % 83, map.BucketOf(L"ab"));
}

TEST(NameMapUI, InsertSetFindRemove) {
  CNameMapUI<int> map;
  EXPECT_TRUE(map.Insert(L"closebtn", 1));
  EXPECT_FALSE(map.Insert(L"closebtn", 2)) << "present keys are not replaced by Insert";
  EXPECT_EQ(1, *map.Find(L"closebtn"));
  map.Set(L"closebtn", 3);
  map.Set(L"minbtn", 4);
  EXPECT_EQ(3, *map.Find(L"closebtn"));
  EXPECT_EQ(4, *map.Find(L"minbtn"));
  EXPECT_EQ(nullptr, map.Find(L"CloseBtn")) << "keys compare exactly";
  EXPECT_EQ(2u, map.GetSize());
  EXPECT_TRUE(map.Remove(L"closebtn"));
  EXPECT_FALSE(map.Remove(L"closebtn"));
  EXPECT_EQ(nullptr, map.Find(L"closebtn"));
  EXPECT_EQ(1u, map.GetSize());
  map.RemoveAll();
  EXPECT_EQ(0u, map.GetSize());
  EXPECT_EQ(nullptr, map.KeyAt(0));
}

TEST(NameMapUI, ChainOrderAndMoveToFront) {
  CNameMapUI<int> one(1);  // a single chain shows head insertion plainly
  for (const wchar_t* key : {L"a", L"b", L"c", L"d"}) one.Insert(key, 0);
  EXPECT_EQ((std::vector<std::wstring>{L"d", L"c", L"b", L"a"}), Order(one));
  one.Find(L"b", false);
  EXPECT_EQ((std::vector<std::wstring>{L"d", L"c", L"b", L"a"}), Order(one));
  one.Find(L"b", true);
  EXPECT_EQ((std::vector<std::wstring>{L"b", L"d", L"c", L"a"}), Order(one));
  one.Find(L"a");
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"d", L"c"}), Order(one));
  EXPECT_TRUE(one.Remove(L"d"));  // from the middle of the chain
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"c"}), Order(one));
  EXPECT_TRUE(one.Remove(L"a"));  // the head
  EXPECT_EQ((std::vector<std::wstring>{L"b", L"c"}), Order(one));
}

TEST(NameMapUI, EnumerationRunsBucketsFromTheLast) {
  CNameMapUI<int> map;
  // 'a' = 97 -> bucket 14, 'b' -> 15, 'c' -> 16; "ab" -> 3331 % 83 = 11.
  for (const wchar_t* key : {L"a", L"c", L"ab", L"b"}) map.Insert(key, 0);
  EXPECT_EQ((std::vector<std::wstring>{L"c", L"b", L"a", L"ab"}), Order(map));
  int* value = map.ValueAt(0);
  ASSERT_NE(nullptr, value);
  *value = 7;
  EXPECT_EQ(7, *map.Find(L"c"));
}

TEST(NameMapUI, OwnsMoveOnlyValues) {
  CNameMapUI<std::unique_ptr<int>> map;
  EXPECT_TRUE(map.Insert(L"x", std::make_unique<int>(5)));
  map.Set(L"x", std::make_unique<int>(6));
  EXPECT_EQ(6, **map.Find(L"x"));
}

}  // namespace
