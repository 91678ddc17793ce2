// The log writer: exact lines, level filtering, the length limit, day switching
// with the clean-up of old files, and lines from several threads.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "app/Log.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

namespace fs = std::filesystem;

LogTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
  struct tm tm {};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return LogTime{y, mo, d, h, mi, s, ms, timegm(&tm)};
}

std::wstring Format(int level, const LogTime& t, unsigned long tid, const wchar_t* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::wstring line = CLogger::Instance().FormatLine(level, t, tid, fmt, ap);
  va_end(ap);
  return line;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> out;
  std::istringstream in(testsupport::ReadFile(path));
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// Dates are computed in UTC so the test does not depend on the machine's zone.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    m_hadTz = tz != nullptr;
    if (tz) m_tz = tz;
    setenv("TZ", "UTC", 1);
    tzset();
    CLogger& log = CLogger::Instance();
    log.ResetForTest();
    log.SetOutputs(2);
    log.SetClockForTest([this] { return m_now; });
  }
  void TearDown() override {
    CLogger& log = CLogger::Instance();
    log.ResetForTest();
    log.SetClockForTest(nullptr);
    log.SetLevelMask(0x7F);
    if (m_hadTz) setenv("TZ", m_tz.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  std::string LogPath(const char* day) const { return platform::TempFolderA() + "Installer" + day + ".log"; }

  testsupport::ScratchEnv env;
  LogTime m_now = At(2026, 12, 9, 10, 4, 31, 17);
  bool m_hadTz = false;
  std::string m_tz;
};

TEST_F(LogTest, LineFormat) {
  const LogTime t = At(2026, 12, 9, 10, 4, 31, 17);
  struct Case {
    std::wstring got, expected;
  };
  const Case cases[] = {
      {Format(Info, t, 0x1A2C, L" Get %s Start", L"/pc/UpdateRequest"),
       L"[10:04:31.017]|[1a2c]|[Info]| Get /pc/UpdateRequest Start"},
      {Format(Error, At(2026, 1, 2, 3, 4, 5, 6), 0x5, L"code=%d", 12), L"[03:04:05.006]|[0005]|[Error]|code=12"},
      {Format(Error, t, 0x12345, L"%d|%5.2f|%c|%S|%hs|%ls|%-4s|%.3s|%%", -7, 3.14159, L'云', "\xE4\xBA\x91", "n",
              L"w", L"ab", L"abcdef"),
       L"[10:04:31.017]|[12345]|[Error]|-7| 3.14|云|云|n|w|ab  |abc|%"},
      {Format(Info, t, 1, L"%I64d %lld %llu %x %08X %zu %ld", -5000000000LL, 6000000000LL, 7ULL, 255u, 0xBEEFu,
              static_cast<size_t>(42), 9L),
       L"[10:04:31.017]|[0001]|[Info]|-5000000000 6000000000 7 ff 0000BEEF 42 9"},
      {Format(Info, t, 1, L"%s and %S", nullptr, nullptr), L"[10:04:31.017]|[0001]|[Info]|(null) and (null)"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST_F(LogTest, LevelNames) {
  const struct {
    int level;
    const wchar_t* name;
  } cases[] = {{1, L"Startup"}, {2, L"Shutdown"}, {4, L"Info"},    {8, L"Warning"}, {16, L"Trace"},
               {32, L"Error"},  {64, L"Debug"},   {3, L"Unknown"}, {0, L"Unknown"}, {128, L"Unknown"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Format(c.level, m_now, 1, L"m"), std::wstring(L"[10:04:31.017]|[0001]|[") + c.name + L"]|m")
        << c.level;
  }
}

TEST_F(LogTest, LongMessageIsCutAt2047) {
  const std::wstring big(5000, L'x');
  const std::wstring line = Format(Info, m_now, 0x1A2C, L"%s", big.c_str());
  ASSERT_EQ(line.size(), 2047u);
  EXPECT_EQ(line.substr(0, 30), L"[10:04:31.017]|[1a2c]|[Info]|x");

  InitLog();
  LogWrite(Info, L"LogTest", __LINE__, L"LogTest::Long", L"%s", big.c_str());
  const std::string text = testsupport::ReadFile(LogPath("20261209"));
  ASSERT_EQ(text.size(), 2048u);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(LogTest, InitLogFiltersTraceAndDebug) {
  InitLog();
  for (int level : {1, 2, 4, 8, 16, 32, 64, 3}) {
    LogWrite(level, L"LogTest", __LINE__, L"LogTest::Filter", L"level %d 云", level);
  }
  const std::vector<std::string> lines = Lines(LogPath("20261209"));
  const std::string tid = [] {
    char buf[32];
    std::snprintf(buf, sizeof buf, "[%04lx]|", static_cast<unsigned long>(syscall(SYS_gettid)));
    return std::string(buf);
  }();
  const std::vector<std::string> expected = {
      "[Startup]|level 1 \xE4\xBA\x91", "[Shutdown]|level 2 \xE4\xBA\x91", "[Info]|level 4 \xE4\xBA\x91",
      "[Warning]|level 8 \xE4\xBA\x91", "[Error]|level 32 \xE4\xBA\x91",   "[Unknown]|level 3 \xE4\xBA\x91"};
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], "[10:04:31.017]|" + tid + expected[i]);
}

TEST_F(LogTest, DaySwitchOpensNewFileAndDeletesTheRunOfOldOnes) {
  InitLog();
  m_now = At(2026, 12, 9, 23, 59, 59, 999);
  LogWrite(Info, L"LogTest", __LINE__, L"LogTest::Day", L"before midnight");
  // Old files planted after the first switch; the next one must clean them up.
  for (const char* day : {"20261203", "20261202", "20261201", "20261130", "20261128"}) {
    testsupport::WriteFile(LogPath(day), "old\n");
  }
  m_now = At(2026, 12, 10, 0, 0, 0, 1);
  LogWrite(Info, L"LogTest", __LINE__, L"LogTest::Day", L"after midnight");
  LogWrite(Info, L"LogTest", __LINE__, L"LogTest::Day", L"same day");

  ASSERT_EQ(Lines(LogPath("20261209")).size(), 1u);
  EXPECT_NE(Lines(LogPath("20261209"))[0].find("before midnight"), std::string::npos);
  const auto today = Lines(LogPath("20261210"));
  ASSERT_EQ(today.size(), 2u);
  EXPECT_EQ(today[0].substr(0, 14), "[00:00:00.001]");
  EXPECT_TRUE(fs::exists(LogPath("20261203")));   // seven days before: kept
  EXPECT_FALSE(fs::exists(LogPath("20261202")));  // eight days before: deleted
  EXPECT_FALSE(fs::exists(LogPath("20261201")));
  EXPECT_FALSE(fs::exists(LogPath("20261130")));
  EXPECT_TRUE(fs::exists(LogPath("20261128")));   // beyond the gap: kept
}

TEST_F(LogTest, UnopenableFolderLosesLinesQuietly) {
  testsupport::WriteFile(env.Path("plainfile"), "x");
  SetLogDir(platform::Utf8ToWide(env.Path("plainfile/sub")));
  LogWrite(Info, L"LogTest", __LINE__, L"LogTest::Lost", L"lost");
  SetLogDir(platform::TempFolder());
  LogWrite(Info, L"LogTest", __LINE__, L"LogTest::Lost", L"kept");
  EXPECT_EQ(Lines(platform::TempFolderA() + "N_A20261209.log").size() +
                Lines(LogPath("20261209")).size(),
            1u);
}

TEST_F(LogTest, ThreadsWriteWholeLinesWithTheirOwnIds) {
  InitLog();
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  std::vector<unsigned long> ids(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &ids] {
      ids[t] = static_cast<unsigned long>(syscall(SYS_gettid));
      for (int i = 0; i < kLines; ++i) LogWrite(Info, L"LogTest", __LINE__, L"LogTest::Threads", L"t%d i%d", t, i);
    });
  }
  for (auto& th : threads) th.join();
  const auto lines = Lines(LogPath("20261209"));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& l : lines) {
    int t = -1, i = -1;
    unsigned long tid = 0;
    ASSERT_EQ(std::sscanf(l.c_str(), "[10:04:31.017]|[%lx]|[Info]|t%d i%d", &tid, &t, &i), 3) << l;
    ASSERT_TRUE(t >= 0 && t < kThreads) << l;
    EXPECT_EQ(tid, ids[t]) << l;
    EXPECT_EQ(i, next[t]++) << l;  // each thread's lines stay in order
  }
}

}  // namespace
