// The single-instance lock, the stand-in message box, debug output and file helpers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/DebugOutput.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/SingleInstance.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

TEST(SingleInstanceTest, SecondHolderSeesTheFirstUntilReleased) {
  testsupport::ScratchEnv env;
  platform::SingleInstanceLock a("lock-name");
  ASSERT_FALSE(a.AlreadyExists());
  EXPECT_TRUE(std::filesystem::exists(platform::TempFolderA() + "lock-name.lock"));
  {
    platform::SingleInstanceLock b("lock-name");
    EXPECT_TRUE(b.AlreadyExists());
    platform::SingleInstanceLock other("other-name");
    EXPECT_FALSE(other.AlreadyExists());
  }
  a.Release();
  platform::SingleInstanceLock c("lock-name");
  EXPECT_FALSE(c.AlreadyExists());
}

TEST(MessageBoxTest, StderrStandInAndInstalledHandler) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(platform::MessageBoxW(nullptr, L"正文", L"标题", MB_OKCANCEL | MB_ICONQUESTION), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "标题: 正文\n");

  unsigned seenType = 0;
  platform::SetMessageBoxHandler([&](void*, const std::wstring& text, const std::wstring&, unsigned type) {
    seenType = type;
    return text == L"cancel me" ? IDCANCEL : IDOK;
  });
  EXPECT_EQ(platform::MessageBoxW(nullptr, L"cancel me", L"c", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(seenType, MB_OKCANCEL);
  platform::SetMessageBoxHandler(nullptr);
}

TEST(DebugOutputTest, OnlyWithInstallerDebug) {
  unsetenv("INSTALLER_DEBUG");
  ::testing::internal::CaptureStderr();
  OutputDebugStringW(L"hidden\n");
  setenv("INSTALLER_DEBUG", "1", 1);
  OutputDebugStringW(L"shown 云\n");
  unsetenv("INSTALLER_DEBUG");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "shown 云\n");
}

TEST(FilesTest, WriteReadDirectoriesAndNormalAttribute) {
  testsupport::ScratchEnv env;
  const std::wstring dir = platform::Utf8ToWide(env.Path("a/b/c"));
  ASSERT_TRUE(platform::CreateDirectories(dir + L"/"));
  EXPECT_TRUE(platform::IsDirectory(dir));
  EXPECT_TRUE(platform::CreateDirectories(dir));  // existing is fine

  const std::wstring file = dir + L"/f.bin";
  ASSERT_TRUE(platform::WriteWholeFile(file, "longer content", 14));
  ASSERT_TRUE(platform::WriteWholeFile(file, "short", 5));
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(file, &bytes));
  EXPECT_EQ(bytes, "short");
  EXPECT_TRUE(platform::IsRegularFile(file));
  EXPECT_FALSE(platform::IsRegularFile(dir));
  EXPECT_FALSE(platform::ReadWholeFile(dir, &bytes));

  chmod(env.Path("a/b/c/f.bin").c_str(), 0444);
  ASSERT_TRUE(platform::SetFileNormal(file));
  struct stat st {};
  ASSERT_EQ(stat(env.Path("a/b/c/f.bin").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);

  testsupport::WriteFile(env.Path("plain"), "x");
  EXPECT_FALSE(platform::CreateDirectories(platform::Utf8ToWide(env.Path("plain/sub"))));
  EXPECT_TRUE(platform::DeleteFileW(file));
  EXPECT_FALSE(platform::DeleteFileW(file));
}

}  // namespace
