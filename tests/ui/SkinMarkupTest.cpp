// The skin markup parser: accepted documents and their trees, the failure
// messages with their locations, the attribute limit, and random damage.
#include "ui/core/SkinMarkup.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "platform/Text.h"

using SkinUI::CSkinMarkup;
using SkinUI::CSkinMarkupNode;

namespace {

std::string Narrow(const wchar_t* s) { return platform::WideToUtf8(s ? s : L"(null)"); }

// Element names of the whole tree in document order, "/" closing each level:
// "A(B,C)" style.
std::string Shape(const CSkinMarkupNode& first) {
  std::string out;
  for (CSkinMarkupNode node = first; node.IsValid(); node = node.NextSibling()) {
    if (!out.empty()) out += ",";
    out += Narrow(node.Name());
    if (node.HasChildren()) out += "(" + Shape(node.FirstChild()) + ")";
  }
  return out;
}

struct ParseCase {
  const char* what;
  std::string input;
  bool ok;
  std::string shapeOrError;  // tree shape when ok, else the message
  std::string location;      // failures only
};

TEST(SkinMarkup, DocumentsAndFailures) {
  const ParseCase cases[] = {
      {"comment before the declaration",
       "<!-- skin -->\n<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\n<Window size=\"1,2\">"
       "<Font name=\"a\"/></Window>",
       true, "Window(Font)", ""},
      {"byte-order mark", "\xEF\xBB\xBF<Window><Label/></Window>", true, "Window(Label)", ""},
      {"comments between children", "<A><!-- x --><B/><?pi?><C></C></A>", true, "A(B,C)", ""},
      {"root left open around an empty child", "<A><B/>", true, "A(B)", ""},
      {"root left open in its text", "<A>text", true, "A", ""},
      {"text after a child", "<A><B/>tail</A>", false, "Expected start tag", "tail</A>"},
      {"two top-level elements", "<A/><B/>", true, "A,B", ""},
      {"slash after the name and after a blank", "<A><B/><C /></A>", true, "A(B,C)", ""},
      {"closing tag with blanks", "<A></ A >", true, "A", ""},
      {"open inside open at the end", "<A><B><C/>", false, "Expected start tag", ""},
      {"text instead of an element", "  junk<A/>", false, "Expected start tag", "junk<A/>"},
      {"text ends after a name", "<A", false, "Error parsing element name", ""},
      {"bad start-tag end", "<A/ >", false, "Expected start-tag closing", "/ >"},
      {"text ends in a nested value", "<A><B><C>text", false, "Expected end-tag start", ""},
      {"unmatched closing tag", "<A><B></A>", false, "Unmatched closing tag", "A>"},
      {"closing tag not closed", "<A></A x>", false, "Unmatched closing tag", "x>"},
      {"longer closing name", "<A></AB>", false, "Unmatched closing tag", "AB>"},
      {"attribute without equals", "<A b c=\"1\"/>", false, "Error while parsing attributes", "c=\"1\"/>"},
      {"apostrophe value", "<A b='1'/>", false, "Expected attribute value", "'1'/>"},
      {"unterminated value", "<A b=\"1/>", false, "Error while parsing attribute string", ""},
  };
  for (const ParseCase& c : cases) {
    CSkinMarkup doc;
    bool ok = doc.LoadFromBytes(c.input.data(), c.input.size());
    ASSERT_EQ(c.ok, ok) << c.what << ": " << Narrow(doc.LastError());
    if (ok) {
      EXPECT_EQ(c.shapeOrError, Shape(doc.Root())) << c.what;
      EXPECT_STREQ(L"", doc.LastError()) << c.what;
    } else {
      EXPECT_EQ(c.shapeOrError, Narrow(doc.LastError())) << c.what;
      EXPECT_EQ(c.location, Narrow(doc.LastErrorLocation())) << c.what;
      EXPECT_FALSE(doc.IsValid()) << c.what << ": no partial tree";
      EXPECT_FALSE(doc.Root().IsValid()) << c.what;
    }
  }
}

TEST(SkinMarkup, BomAndPlainGiveTheSameTree) {
  std::string plain = "<Window a=\"1\"><B x=\"y\">v</B></Window>";
  std::string bom = "\xEF\xBB\xBF" + plain;
  CSkinMarkup a, b;
  ASSERT_TRUE(a.LoadFromBytes(plain.data(), plain.size()));
  ASSERT_TRUE(b.LoadFromBytes(bom.data(), bom.size()));
  EXPECT_EQ(Shape(a.Root()), Shape(b.Root()));
  EXPECT_STREQ(a.Root().FirstChild().AttributeValue(L"x"), b.Root().FirstChild().AttributeValue(L"x"));
  EXPECT_STREQ(L"v", b.Root().FirstChild().Value());
}

TEST(SkinMarkup, AttributesValuesAndEntities) {
  CSkinMarkup doc;
  ASSERT_TRUE(doc.LoadFromText(
      L"<Window><Font name=\"微软雅黑\" size=\"12\" id = \"1\"/>"
      L"<E v=\"&amp;&copy;\" w=\"&lt;&gt;&quot;&apos;&amp;amp;\" d=\"1\" d=\"2\"/>"
      L"<T>  x\n y<C/></T></Window>"));
  CSkinMarkupNode font = doc.Root().FirstChild();
  ASSERT_EQ(3, font.AttributeCount());
  EXPECT_STREQ(L"id", font.AttributeName(2));
  EXPECT_STREQ(L"1", font.AttributeValue(2));
  EXPECT_STREQ(L"微软雅黑", font.AttributeValue(L"name"));
  EXPECT_STREQ(L"", font.AttributeValue(3));
  EXPECT_STREQ(L"", font.AttributeName(-1));
  EXPECT_EQ(nullptr, font.AttributeValue(L"Name")) << "names are case-sensitive";

  CSkinMarkupNode e = font.NextSibling();
  EXPECT_STREQ(L"&&copy;", e.AttributeValue(L"v"));
  EXPECT_STREQ(L"<>\"'&amp;", e.AttributeValue(L"w"));
  EXPECT_STREQ(L"1", e.AttributeValue(L"d")) << "the first duplicate wins";
  EXPECT_EQ(4, e.AttributeCount());

  CSkinMarkupNode t = e.NextSibling();
  EXPECT_STREQ(L"  x\n y", t.Value()) << "value ends at the first child";
  EXPECT_STREQ(L"", t.FirstChild().Value());
  EXPECT_FALSE(t.NextSibling().IsValid());

  wchar_t small[4];
  EXPECT_TRUE(font.AttributeValue(L"name", small, 3));
  EXPECT_STREQ(L"微软", small);
  EXPECT_FALSE(font.AttributeValue(L"missing", small, 4));
}

TEST(SkinMarkup, SixtyFourAttributesAtMost) {
  std::wstring text = L"<A";
  for (int i = 1; i <= 70; ++i) text += L" a" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
  text += L"/>";
  CSkinMarkup doc;
  ASSERT_TRUE(doc.LoadFromText(text.c_str()));
  CSkinMarkupNode a = doc.Root();
  EXPECT_EQ(64, a.AttributeCount());
  EXPECT_STREQ(L"64", a.AttributeValue(L"a64"));
  EXPECT_EQ(nullptr, a.AttributeValue(L"a65"));
  EXPECT_STREQ(L"", a.AttributeValue(64));
}

TEST(SkinMarkup, LocationIsCutTo49Characters) {
  std::wstring text(100, L'x');
  CSkinMarkup doc;
  EXPECT_FALSE(doc.LoadFromText(text.c_str()));
  EXPECT_EQ(std::wstring(49, L'x'), doc.LastErrorLocation());
  // A later good parse clears the error.
  EXPECT_TRUE(doc.LoadFromText(L"<A/>"));
  EXPECT_STREQ(L"", doc.LastError());
  EXPECT_STREQ(L"", doc.LastErrorLocation());
}

TEST(SkinMarkup, InvalidNodesAnswerEmpty) {
  CSkinMarkupNode none;
  EXPECT_FALSE(none.IsValid());
  EXPECT_STREQ(L"", none.Name());
  EXPECT_STREQ(L"", none.Value());
  EXPECT_EQ(0, none.AttributeCount());
  EXPECT_EQ(nullptr, none.AttributeValue(L"x"));
  EXPECT_FALSE(none.FirstChild().IsValid());
  EXPECT_FALSE(none.HasChildren());
  CSkinMarkup empty;
  EXPECT_FALSE(empty.Root().IsValid());
}

TEST(SkinMarkup, ManyElementsKeepTheirLinks) {
  // Past the first allocations of the element array (500, then 1250, ...).
  std::wstring text = L"<R>";
  for (int i = 0; i < 3000; ++i) text += L"<E i=\"" + std::to_wstring(i) + L"\"/>";
  text += L"</R>";
  CSkinMarkup doc;
  ASSERT_TRUE(doc.LoadFromText(text.c_str()));
  EXPECT_EQ(3001u, doc.ElementCount());
  int n = 0;
  for (CSkinMarkupNode e = doc.Root().FirstChild(); e.IsValid(); e = e.NextSibling(), ++n) {
    ASSERT_EQ(std::to_wstring(n), e.AttributeValue(L"i"));
  }
  EXPECT_EQ(3000, n);
}

std::vector<std::string> SkinSamples() {
  std::vector<std::string> samples;
  std::string dir = std::string(INSTALLER_SOURCE_DIR) + "/res/skin";
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      std::string name = entry->d_name;
      if (name.size() > 4 && name.substr(name.size() - 4) == ".xml") {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        samples.push_back(buffer.str());
      }
    }
    closedir(d);
  }
  samples.push_back(
      "<!-- x --><?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Window size=\"600,422\" caption=\"0,0,0,40\">\n"
      "  <Font name=\"微软雅黑\" size=\"14\" default=\"true\"/>\n"
      "  <VerticalLayout bkimage=\"file='bg.png' corner='4,4,4,4'\">\n"
      "    <Label text=\"安装 &amp; 启动\" textcolor=\"#FFFFFFFF\"/>\n"
      "    <Button name=\"closebtn\" normalimage=\"close_n.png\"></Button>\n"
      "  </VerticalLayout>\n</Window>\n");
  return samples;
}

// Walks everything a builder would touch; returns the element count.
int Walk(const CSkinMarkupNode& first, int depth) {
  int n = 0;
  for (CSkinMarkupNode node = first; node.IsValid(); node = node.NextSibling()) {
    ++n;
    EXPECT_NE(nullptr, node.Name());
    EXPECT_NE(nullptr, node.Value());
    int count = node.AttributeCount();
    EXPECT_LE(count, 64);
    for (int i = 0; i < count; ++i) {
      EXPECT_NE(nullptr, node.AttributeValue(node.AttributeName(i)));
    }
    if (depth < 200) n += Walk(node.FirstChild(), depth + 1);
  }
  return n;
}

TEST(SkinMarkup, RandomDamageNeverBreaksTheParser) {
  std::mt19937 random(20261211);
  const char kNoise[] = "<>/\"'=&!?- \n;ax\xE4\xB8\xAD";
  int parsed = 0, failed = 0;
  for (const std::string& sample : SkinSamples()) {
    for (int round = 0; round < 400; ++round) {
      std::string text = sample;
      int edits = 1 + static_cast<int>(random() % 6);
      for (int e = 0; e < edits && !text.empty(); ++e) {
        std::size_t at = random() % text.size();
        switch (random() % 4) {
          case 0: text.erase(at, 1 + random() % 8); break;
          case 1: text.insert(at, 1, kNoise[random() % (sizeof(kNoise) - 1)]); break;
          case 2: text[at] = kNoise[random() % (sizeof(kNoise) - 1)]; break;
          default: text.resize(at); break;
        }
      }
      CSkinMarkup doc;
      if (doc.LoadFromBytes(text.data(), text.size())) {
        ++parsed;
        EXPECT_EQ(static_cast<int>(doc.ElementCount()), Walk(doc.Root(), 0)) << text;
      } else {
        ++failed;
        EXPECT_STRNE(L"", doc.LastError());
        EXPECT_FALSE(doc.IsValid());
        EXPECT_LE(std::wcslen(doc.LastErrorLocation()), 49u);
      }
    }
  }
  EXPECT_GT(parsed, 0);
  EXPECT_GT(failed, 0);
}

}  // namespace

namespace {

TEST(SkinMarkup, ShippedSkinsParse) {
  std::string dir = std::string(INSTALLER_SOURCE_DIR) + "/res/skin";
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) GTEST_SKIP() << "no skins in the tree";
  int files = 0;
  while (dirent* entry = readdir(d)) {
    std::string name = entry->d_name;
    if (name.size() <= 4 || name.substr(name.size() - 4) != ".xml") continue;
    std::ifstream in(dir + "/" + name, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    CSkinMarkup doc;
    ASSERT_TRUE(doc.LoadFromBytes(text.data(), text.size()))
        << name << ": " << Narrow(doc.LastError()) << " at " << Narrow(doc.LastErrorLocation());
    EXPECT_STREQ(L"Window", doc.Root().Name()) << name;
    ++files;
  }
  closedir(d);
  EXPECT_GT(files, 0);
}

}  // namespace
