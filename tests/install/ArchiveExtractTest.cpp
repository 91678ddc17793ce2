// The package extractor against real 7z archives made in the test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "ArchiveMaker.h"
#include "install/ArchiveExtract.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

using testinstall::ArchiveItem;
using testinstall::Make7z;
using testsupport::ReadFile;

class RecordingTarget : public IProgressTarget {
 public:
  void SendProgressMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override {
    EXPECT_EQ(message, WM_EXTRACT_PROGRESS);
    EXPECT_EQ(lParam, 0);
    percents.push_back(static_cast<int>(wParam));
  }
  std::vector<int> percents;
};

bool Exists(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

mode_t Mode(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class ArchiveExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_out = m_env.Path("out");
    m_outside = m_env.Path("outside");
    ASSERT_EQ(::mkdir(m_out.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(m_outside.c_str(), 0755), 0);
    m_archive = m_env.Path("tmpClient");
  }

  // Runs the extractor; the console text lands in m_console.
  int Extract(const std::string& outDir, IProgressTarget* target = nullptr) {
    std::wstring out = platform::Utf8ToWide(outDir);
    ::testing::internal::CaptureStdout();
    int rc = ExtractClientArchive(m_archive.c_str(), out.c_str(), target);
    m_console = ::testing::internal::GetCapturedStdout();
    return rc;
  }

  bool OutsideIsEmpty() const {
    std::string cmd = "test -z \"$(ls -A '" + m_outside + "')\"";
    return std::system(cmd.c_str()) == 0;
  }

  testsupport::ScratchEnv m_env;
  std::string m_out, m_outside, m_archive, m_console;
};

TEST_F(ArchiveExtractTest, NestedFoldersAreCreatedAndFilesWritten) {
  std::string big(3 * 1024 * 1024 + 5, 'x');  // spans more than one write buffer refill
  for (size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>('a' + (i / 4096) % 26);
  ASSERT_TRUE(Make7z(m_archive, {{ArchiveItem::Dir, "bin", "", 0755},
                                 {ArchiveItem::File, "bin/x/a.dll", "library", 0644},
                                 {ArchiveItem::File, "data/big.bin", big, 0644},
                                 {ArchiveItem::File, "readme.txt", "", 0644}}));
  // Without a trailing slash the folder behaves exactly as with one.
  for (std::string dir : {m_out, m_out + "2/"}) {
    ::mkdir(m_env.Path("out2").c_str(), 0755);
    RecordingTarget target;
    EXPECT_EQ(Extract(dir, &target), 0) << m_console;
    std::string base = dir.back() == '/' ? dir : dir + "/";
    EXPECT_EQ(ReadFile(base + "bin/x/a.dll"), "library");
    EXPECT_EQ(ReadFile(base + "data/big.bin"), big);
    EXPECT_TRUE(Exists(base + "readme.txt"));
    EXPECT_EQ(ReadFile(base + "readme.txt"), "");
    EXPECT_NE(m_console.find("Extracting bin/\n"), std::string::npos) << m_console;
    EXPECT_NE(m_console.find("Extracting bin/x/a.dll\n"), std::string::npos) << m_console;
    EXPECT_NE(m_console.find("\nEverything is Ok\n"), std::string::npos) << m_console;
    EXPECT_EQ(m_console.find("ERROR"), std::string::npos) << m_console;
  }
}

// Package files carry Chinese names; they must survive whatever locale the
// installer runs under (the process stays in the "C" locale here).
TEST_F(ArchiveExtractTest, NonAsciiNamesAreKept) {
  ASSERT_TRUE(Make7z(m_archive, {{ArchiveItem::Dir, "资源", "", 0755},
                                 {ArchiveItem::File, "资源/说明.txt", "文本", 0644}}));
  EXPECT_EQ(Extract(m_out), 0) << m_console;
  EXPECT_EQ(ReadFile(m_out + "/资源/说明.txt"), "文本");
  EXPECT_EQ(m_console.find("ERROR"), std::string::npos) << m_console;
}

TEST_F(ArchiveExtractTest, EmptyArchivePrintsBannerAndOkWithoutProgress) {
  ASSERT_TRUE(Make7z(m_archive, {}));
  RecordingTarget target;
  EXPECT_EQ(Extract(m_out, &target), 0) << m_console;
  EXPECT_TRUE(target.percents.empty());
  EXPECT_NE(m_console.find("extractor"), std::string::npos) << m_console;
  EXPECT_NE(m_console.find("\nEverything is Ok\n"), std::string::npos) << m_console;
  EXPECT_EQ(m_console.find("Extracting"), std::string::npos) << m_console;
}

TEST_F(ArchiveExtractTest, ProgressGoesOutBeforeEachEntry) {
  ASSERT_TRUE(Make7z(m_archive, {{ArchiveItem::File, "a", "1"},
                                 {ArchiveItem::File, "b", "2"},
                                 {ArchiveItem::Dir, "c", "", 0755},
                                 {ArchiveItem::File, "c/d", "4"}}));
  RecordingTarget target;
  EXPECT_EQ(Extract(m_out, &target), 0) << m_console;
  EXPECT_EQ(target.percents, (std::vector<int>{0, 25, 50, 75}));
}

TEST_F(ArchiveExtractTest, ArgumentAndInputFailures) {
  ASSERT_TRUE(Make7z(m_archive, {{ArchiveItem::File, "a", "1"}}));
  std::wstring out = platform::Utf8ToWide(m_out);
  std::wstring missing = platform::Utf8ToWide(m_env.Path("nope"));
  EXPECT_EQ(ExtractClientArchive(nullptr, out.c_str(), nullptr), -1);

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ExtractClientArchive(m_archive.c_str(), missing.c_str(), nullptr), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");  // nothing printed

  m_archive = m_env.Path("no-such-package");
  EXPECT_EQ(Extract(m_out), 1);
  EXPECT_NE(m_console.find("\nERROR: can not open input file\n"), std::string::npos) << m_console;

  m_archive = m_env.Path("not-an-archive");
  testsupport::WriteFile(m_archive, "<html>404</html>");
  EXPECT_EQ(Extract(m_out), 1);
  EXPECT_NE(m_console.find("ERROR"), std::string::npos) << m_console;
  EXPECT_EQ(m_console.find("Everything is Ok"), std::string::npos) << m_console;
}

TEST_F(ArchiveExtractTest, CorruptDataKeepsEarlierEntries) {
  std::string text;
  uint32_t x = 12345;
  for (int i = 0; i < 60000; ++i) {
    x = x * 1103515245u + 12345u;
    text += "line " + std::to_string(x % 1000) + (x & 0x100 ? " alpha\n" : " beta\n");
  }
  ASSERT_TRUE(Make7z(m_archive, {{ArchiveItem::File, "first.txt", "kept"},
                                 {ArchiveItem::File, "second.txt", text}}));
  std::string bytes = ReadFile(m_archive);
  // Damage the packed stream in its second half, inside the second entry (the
  // header sits at the end of the file).
  ASSERT_GT(bytes.size(), 4000u);
  size_t packedEnd = bytes.size() - 200;
  for (size_t i = packedEnd / 2; i < packedEnd / 2 + 64; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  testsupport::WriteFile(m_archive, bytes);
  EXPECT_EQ(Extract(m_out), 1) << m_console;
  EXPECT_EQ(ReadFile(m_out + "/first.txt"), "kept");
  EXPECT_NE(m_console.find("ERROR"), std::string::npos) << m_console;
  EXPECT_EQ(m_console.find("Everything is Ok"), std::string::npos) << m_console;
}

TEST_F(ArchiveExtractTest, OutputFileThatCannotBeCreatedEndsWithNumberedError) {
  ASSERT_TRUE(Make7z(m_archive, {{ArchiveItem::File, "first", "1"},
                                 {ArchiveItem::File, "blocked", "2"},
                                 {ArchiveItem::File, "third", "3"}}));
  ASSERT_EQ(::mkdir((m_out + "/blocked").c_str(), 0755), 0);  // a folder where the file goes
  EXPECT_EQ(Extract(m_out), 1);
  EXPECT_NE(m_console.find("\nERROR: can not open output file\n"), std::string::npos) << m_console;
  EXPECT_NE(m_console.find("\nERROR #11\n"), std::string::npos) << m_console;
  EXPECT_EQ(ReadFile(m_out + "/first"), "1");
  EXPECT_FALSE(Exists(m_out + "/third"));
}

TEST_F(ArchiveExtractTest, StoredModesAndOverwrite) {
  // A previous install left a read-only file and a running-style executable.
  testsupport::WriteFile(m_out + "/old.txt", "old");
  ASSERT_EQ(::chmod((m_out + "/old.txt").c_str(), 0444), 0);
  ASSERT_TRUE(Make7z(m_archive, {{ArchiveItem::File, "tvClient.exe", "#!/bin/sh\n", 0755},
                                 {ArchiveItem::File, "old.txt", "new", 0644},
                                 {ArchiveItem::File, "locked.cfg", "ro", 0444}}));
  mode_t mask = ::umask(022);
  EXPECT_EQ(Extract(m_out), 0) << m_console;
  ::umask(mask);
  EXPECT_EQ(Mode(m_out + "/tvClient.exe"), 0755u);
  EXPECT_EQ(ReadFile(m_out + "/old.txt"), "new");
  EXPECT_EQ(Mode(m_out + "/old.txt"), 0644u);
  EXPECT_EQ(Mode(m_out + "/locked.cfg") & 0222u, 0u);
}

// Entries that would land outside the output folder are refused, and nothing
// is written there, whatever comes after them.
TEST_F(ArchiveExtractTest, HostileEntriesNeverWriteOutside) {
  std::string outsideAbs = m_outside + "/abs.txt";
  struct Case {
    const char* what;
    std::vector<ArchiveItem> items;
    bool preLink;  // the output folder already holds a link pointing outside
  } cases[] = {
      {"absolute name", {{ArchiveItem::File, outsideAbs, "x"}}, false},
      {"dot-dot name", {{ArchiveItem::File, "../outside/dd.txt", "x"}}, false},
      {"dot-dot inside", {{ArchiveItem::File, "a/b/../../../outside/dd2.txt", "x"}}, false},
      {"symlink then file through it",
       {{ArchiveItem::Symlink, "lnk", m_outside}, {ArchiveItem::File, "lnk/through.txt", "x"}},
       false},
      {"relative symlink out", {{ArchiveItem::Symlink, "up", "../outside"},
                                {ArchiveItem::File, "up/through2.txt", "x"}}, false},
      {"existing link in folder", {{ArchiveItem::File, "pre/through3.txt", "x"},
                                   {ArchiveItem::Dir, "pre/sub", "", 0755}}, true},
  };
  for (const Case& c : cases) {
    std::system(("rm -rf '" + m_out + "' && mkdir '" + m_out + "'").c_str());
    if (c.preLink) {
      ASSERT_EQ(::symlink(m_outside.c_str(), (m_out + "/pre").c_str()), 0);
    }
    ASSERT_TRUE(Make7z(m_archive, c.items)) << c.what;
    EXPECT_EQ(Extract(m_out), 1) << c.what << "\n" << m_console;
    EXPECT_NE(m_console.find("ERROR"), std::string::npos) << c.what;
    EXPECT_TRUE(OutsideIsEmpty()) << c.what;
  }
  EXPECT_FALSE(Exists(m_out + "/up"));  // the escaping link itself was not created
}

TEST_F(ArchiveExtractTest, SymlinksThatStayInsideAreKept) {
  ASSERT_TRUE(Make7z(m_archive, {{ArchiveItem::File, "lib/libq.so.5.1", "so"},
                                 {ArchiveItem::Symlink, "lib/libq.so.5", "libq.so.5.1"},
                                 {ArchiveItem::Symlink, "bin/lib", "../lib"},
                                 {ArchiveItem::File, "bin/lib/extra.so", "e"}}));
  EXPECT_EQ(Extract(m_out), 0) << m_console;
  EXPECT_EQ(ReadFile(m_out + "/lib/libq.so.5"), "so");
  EXPECT_EQ(ReadFile(m_out + "/lib/extra.so"), "e");
}

}  // namespace
