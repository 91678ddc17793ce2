// Path joining, the executable's folder and the default install folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "app/PathUtil.h"
#include "app/UIHelp.h"
#include "platform/ModulePath.h"
#include "support/ScratchEnv.h"

namespace {

TEST(PathUtilTest, JoinPathSeam) {
  const struct {
    const char* dir;
    const char* name;
    const char* expected;
  } cases[] = {
      {"/tmp/a", "b.ini", "/tmp/a/b.ini"},   {"/tmp/a/", "b.ini", "/tmp/a/b.ini"},
      {"/tmp/a", "/b.ini", "/tmp/a/b.ini"},  {"/tmp/a/", "/b.ini", "/tmp/a/b.ini"},
      {"/tmp/a\\", "b.ini", "/tmp/a\\b.ini"}, {"/tmp/a\\", "\\b.ini", "/tmp/a\\b.ini"},
      {"/tmp/a", "\\b.ini", "/tmp/a\\b.ini"}, {"/tmp/a//", "/b", "/tmp/a//b"},
      {"", "b", "/b"},                        {"/tmp/a", "", "/tmp/a/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JoinPath(std::string(c.dir), std::string(c.name)), c.expected) << c.dir << " + " << c.name;
    const std::wstring wide = JoinPath(std::wstring(c.dir, c.dir + strlen(c.dir)),
                                       std::wstring(c.name, c.name + strlen(c.name)));
    EXPECT_EQ(std::string(wide.begin(), wide.end()), c.expected) << c.dir << " + " << c.name;
  }
}

TEST(PathUtilTest, ExeDirectory) {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  ASSERT_GT(n, 0);
  const std::string exe(buf, static_cast<size_t>(n));
  EXPECT_EQ(ExeDirectoryA(), exe.substr(0, exe.rfind('/')));
  platform::SetModuleFileNameForTest("/opt/x/云/installer");
  EXPECT_EQ(ExeDirectory(), L"/opt/x/云");
  platform::SetModuleFileNameForTest("installer");
  EXPECT_EQ(ExeDirectoryA(), "");
  platform::SetModuleFileNameForTest("");
}

TEST(UIHelpTest, DefaultsAndOneInstance) {
  testsupport::ScratchEnv env;
  const std::wstring expected =
      geteuid() == 0 ? L"/opt/DevAdazuZirev/" : std::wstring(env.Home().begin(), env.Home().end()) + L"/.local/opt/DevAdazuZirev/";
  EXPECT_EQ(DefaultInstallDir(), expected);
  CUIHelp* help = CUIHelp::GetInstance();
  EXPECT_EQ(help, CUIHelp::GetInstance());
  EXPECT_EQ(help->m_strClientExe, L"tvClient.exe");
  EXPECT_EQ(help->m_strInstallDir.back(), L'/');
}

}  // namespace
