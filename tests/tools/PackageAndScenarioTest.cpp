// The service's building blocks in process: 7z packing, file CRC, report
// columns and scenario lookup.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <locale.h>

#include <filesystem>
#include <map>
#include <memory>

#include "support/ScratchEnv.h"
#include "tools/devservice/Package7z.h"
#include "tools/devservice/ReportCheck.h"
#include "tools/devservice/Scenario.h"

namespace {

namespace fs = std::filesystem;

TEST(Package7z, PacksFilesFoldersAndModesReadableByLibarchive) {
  testsupport::ScratchEnv env;
  testsupport::WriteFile(env.Path("in/run.sh"), "#!/bin/sh\n");
  fs::permissions(env.Path("in/run.sh"), fs::perms(0755));
  testsupport::WriteFile(env.Path("in/深/数据.txt"), "数据");
  testsupport::WriteFile(env.Path("in/empty.txt"), "");
  fs::create_directories(env.Path("in/emptydir"));
  fs::create_symlink("/etc/passwd", env.Path("in/link"));
  std::string error;
  ASSERT_TRUE(devservice::Build7z(env.Path("in"), env.Path("out.7z"), &error)) << error;

  // Names are read as UTF-8, as the installer's extractor reads them.
  locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  ASSERT_TRUE(utf8);
  locale_t old = uselocale(utf8);
  std::map<std::string, std::pair<std::string, mode_t>> got;
  std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
  archive_read_support_format_7zip(a.get());
  ASSERT_EQ(archive_read_open_filename(a.get(), env.Path("out.7z").c_str(), 10240), ARCHIVE_OK);
  archive_entry* e;
  while (archive_read_next_header(a.get(), &e) == ARCHIVE_OK) {
    std::string data;
    char buf[1024];
    la_ssize_t n;
    while ((n = archive_read_data(a.get(), buf, sizeof buf)) > 0) data.append(buf, n);
    const char* name = archive_entry_pathname_utf8(e);
    std::string key = name ? name : "(unnamed)";
    if (!key.empty() && key.back() == '/') key.pop_back();  // folders carry a trailing "/"
    got[key] = {data, archive_entry_mode(e)};
  }
  uselocale(old);
  freelocale(utf8);
  EXPECT_EQ(got.count("(unnamed)"), 0u);
  EXPECT_EQ(got.size(), 5u);
  EXPECT_EQ(got.count("link"), 0u);  // symbolic links are not packed
  ASSERT_EQ(got.count("run.sh"), 1u);
  EXPECT_EQ(got["run.sh"].second & 0777, 0755u);
  EXPECT_EQ(got["深/数据.txt"].first, "数据");
  EXPECT_EQ(got.count("empty.txt"), 1u);
  EXPECT_TRUE(S_ISDIR(got["emptydir"].second));
  EXPECT_TRUE(S_ISDIR(got["深"].second));
}

TEST(Package7z, FailuresAreReported) {
  testsupport::ScratchEnv env;
  std::string error;
  EXPECT_FALSE(devservice::Build7z(env.Path("missing"), env.Path("o.7z"), &error));
  EXPECT_FALSE(error.empty());
  testsupport::WriteFile(env.Path("in/a"), "a");
  error.clear();
  EXPECT_FALSE(devservice::Build7z(env.Path("in"), env.Path("no/such/dir/o.7z"), &error));
  EXPECT_FALSE(error.empty());
  uint32_t crc = 0;
  EXPECT_FALSE(devservice::FileCrc32(env.Path("missing"), &crc, nullptr));
}

TEST(Package7z, FileCrcIsTheStandardCrc32) {
  testsupport::ScratchEnv env;
  struct { std::string bytes; uint32_t crc; } cases[] = {
      {"", 0u}, {"123456789", 0xCBF43926u}, {std::string(200000, '\xff'), 0u}};
  // The long case crosses the read block size; its value comes from a one-shot pass.
  uint32_t whole = 0;
  testsupport::WriteFile(env.Path("long"), cases[2].bytes);
  ASSERT_TRUE(devservice::FileCrc32(env.Path("long"), &whole, nullptr));
  cases[2].crc = whole;
  for (const auto& c : cases) {
    testsupport::WriteFile(env.Path("f"), c.bytes);
    uint32_t crc = 1;
    uint64_t size = 1;
    ASSERT_TRUE(devservice::FileCrc32(env.Path("f"), &crc, &size));
    EXPECT_EQ(crc, c.crc);
    EXPECT_EQ(size, c.bytes.size());
  }
}

TEST(ReportCheck, ColumnsEndAtTabs) {
  using V = std::vector<std::string>;
  EXPECT_EQ(devservice::SplitColumns(""), V{});
  EXPECT_EQ(devservice::SplitColumns("a\t"), V{"a"});
  EXPECT_EQ(devservice::SplitColumns("a\t\t\t"), (V{"a", "", ""}));
  EXPECT_EQ(devservice::SplitColumns("a\tb"), (V{"a", "b"}));
  EXPECT_EQ(devservice::SplitColumns("\t"), V{""});
  // Known value, computed outside this code base.
  EXPECT_EQ(devservice::ReportSignature(
                "2026.12.11 08:05:09\tRUN\t00-11-22-33-44-55\t\t\t127.0.0.1\t\t28\t1\t\t\t\t\t\t"),
            "FC96BED7053775201B5D05F2735FF690");
}

TEST(Scenario, SchemeOverridesCaseAndComments) {
  const auto s = devservice::Scenario::Parse(
      "; comment\n# another\n[Update]\r\nMode = crlf\r\nmode.HTTPS = close\n"
      "status = 500\nbad = 12x\n[download]\nfault=stall\nnot a pair\n");
  EXPECT_EQ(s.Get("update", "mode", "https", "ok"), "close");
  EXPECT_EQ(s.Get("UPDATE", "MODE", "http", "ok"), "crlf");
  EXPECT_EQ(s.Get("update", "mode", "", "ok"), "crlf");
  EXPECT_EQ(s.Get("download", "fault", "http", "none"), "stall");
  EXPECT_EQ(s.Get("download", "mode", "http", "none"), "none");  // keys stay in their section
  EXPECT_EQ(s.GetInt("update", "status", "https", 200), 500);
  EXPECT_EQ(s.GetInt("update", "bad", "https", 7), 7);
  EXPECT_FALSE(s.Has("update", "comment", ""));
  EXPECT_EQ(devservice::Unescape("a\\r\\nb\\tc\\\\d\\x"), "a\r\nb\tc\\d\\x");
  EXPECT_EQ(devservice::Scenario::Load("/nonexistent/scenario.ini").Get("a", "b", "", "d"), "d");
}

}  // namespace
