// The settings store: exact round trips, locations, locking, corrupt files and
// write failures, through the registry-shaped calls.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/Registry.h"
#include "support/ScratchEnv.h"

namespace {

using namespace platform;

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("INSTALLER_USER_SCOPE", "1", 1); }
  void TearDown() override { unsetenv("INSTALLER_USER_SCOPE"); }

  std::wstring Query(HKEY root, const wchar_t* sub, const wchar_t* name, long* rc) {
    HKEY key = nullptr;
    *rc = RegOpenKeyExW(root, sub, 0, KEY_QUERY_VALUE, &key);
    if (*rc != ERROR_SUCCESS) return L"";
    std::wstring v;
    *rc = RegQueryValueExW(key, name, nullptr, &v);
    RegCloseKey(key);
    return v;
  }

  testsupport::ScratchEnv m_env;
};

TEST_F(RegistryStoreTest, ValuesReadBackExactlyFromTheDocumentedFiles) {
  const std::wstring values[] = {
      L"",
      L"plain",
      std::wstring(300, L'x') + L"/end",  // longer than any fixed query buffer
      L"quote \" backslash \\ newline \n tab \t cr \r [bracket]",
      L"/home/用户/云电脑/",
      std::wstring(L"ctl\x01\x7f") + L"\U0001F600",
      L"trailing space ",
  };
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Tarvolen\\RoruvAZ", &key), ERROR_SUCCESS);
  for (size_t i = 0; i < std::size(values); ++i) {
    std::wstring name = L"v" + std::to_wstring(i);
    ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_SZ, values[i]), ERROR_SUCCESS) << i;
  }
  RegCloseKey(key);
  for (size_t i = 0; i < std::size(values); ++i) {
    std::wstring name = L"v" + std::to_wstring(i);
    long rc;
    EXPECT_EQ(Query(HKEY_CURRENT_USER, L"Software\\Tarvolen\\RoruvAZ", name.c_str(), &rc),
              values[i])
        << "value " << i;
    EXPECT_EQ(rc, ERROR_SUCCESS);
  }
  EXPECT_EQ(RegistryFilePath(HKEY_CURRENT_USER), m_env.Path("config/Tarvolen/user.reg"));
  EXPECT_TRUE(std::filesystem::is_regular_file(m_env.Path("config/Tarvolen/user.reg")));

  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\X", &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"Publisher", 0, REG_SZ, L"tarvolen cloud"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(std::filesystem::is_regular_file(m_env.Path("data/Tarvolen/machine.reg")));
  // No temporary file is left behind by the atomic replace.
  for (auto& e : std::filesystem::directory_iterator(m_env.Path("config/Tarvolen"))) {
    std::string n = e.path().filename().string();
    EXPECT_TRUE(n == "user.reg" || n == "user.reg.lock") << n;
  }
}

TEST_F(RegistryStoreTest, KeysAndNamesFollowTheNativeRules) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Tarvolen\\RoruvAZ", &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"Version", 0, REG_SZ, L"1.0"), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"VERSION", 0, REG_SZ, L"2.0"), ERROR_SUCCESS);  // same value
  RegCloseKey(key);
  long rc;
  EXPECT_EQ(Query(HKEY_CURRENT_USER, L"software\\tarvolen\\roruvaz", L"version", &rc), L"2.0");
  EXPECT_EQ(rc, ERROR_SUCCESS);
  Query(HKEY_CURRENT_USER, L"Software\\Tarvolen\\RoruvAZ", L"Start", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
  Query(HKEY_CURRENT_USER, L"Software\\Other", L"Version", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
  HKEY parent = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tarvolen", 0, KEY_QUERY_VALUE, &parent),
            ERROR_SUCCESS);
  RegCloseKey(parent);
  // The machine root is a separate file.
  Query(HKEY_LOCAL_MACHINE, L"Software\\Tarvolen\\RoruvAZ", L"Version", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStoreTest, DeletesFollowTheNativeRules) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Uninstall\\RoruvAZ", &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"DisplayName", 0, REG_SZ, L"x"), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"DisplayIcon", 0, REG_SZ, L"y"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, L"displayname"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, L"DisplayName"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  long rc;
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, L"Software\\Uninstall\\RoruvAZ", L"DisplayIcon", &rc), L"y");
  // A key with a subkey stays; the leaf goes with its values.
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Uninstall"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"software\\uninstall\\roruvaz"), ERROR_SUCCESS);
  Query(HKEY_LOCAL_MACHINE, L"Software\\Uninstall\\RoruvAZ", L"DisplayIcon", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Uninstall\\RoruvAZ"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStoreTest, ConcurrentWritersLoseNothing) {
  auto writer = [](int id) {
    for (int i = 0; i < 20; ++i) {
      HKEY key = nullptr;
      if (RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\T", &key) != ERROR_SUCCESS) return;
      std::wstring name = L"w" + std::to_wstring(id) + L"_" + std::to_wstring(i);
      RegSetValueExW(key, name.c_str(), 0, REG_SZ, name);
      RegCloseKey(key);
    }
  };
  std::thread a(writer, 1), b(writer, 2);
  a.join();
  b.join();
  for (int id : {1, 2}) {
    for (int i = 0; i < 20; ++i) {
      std::wstring name = L"w" + std::to_wstring(id) + L"_" + std::to_wstring(i);
      long rc;
      EXPECT_EQ(Query(HKEY_CURRENT_USER, L"Software\\T", name.c_str(), &rc), name);
    }
  }
}

TEST_F(RegistryStoreTest, CorruptFileIsKeptAsideAndNeverReadAsValues) {
  std::string path = m_env.Path("config/Tarvolen/user.reg");
  const std::string garbage = "[\"HKEY_CURRENT_USER\\\\Software\"]\n\"installDir\"=1:\"/opt/x/";
  testsupport::WriteFile(path, garbage);  // cut off mid-line, as a full disk might leave it
  long rc;
  Query(HKEY_CURRENT_USER, L"Software", L"installDir", &rc);
  EXPECT_EQ(rc, ERROR_REGISTRY_CORRUPT);

  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Tarvolen\\RoruvAZ", &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"Start", 0, REG_SZ, L"tvClient.exe"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(testsupport::ReadFile(path + ".corrupt-1"), garbage);
  EXPECT_EQ(Query(HKEY_CURRENT_USER, L"Software\\Tarvolen\\RoruvAZ", L"Start", &rc),
            L"tvClient.exe");
}

TEST_F(RegistryStoreTest, WriteFailuresAreReported) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\T", &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"a", 0, REG_SZ, L"kept"), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, L"big", 0, REG_SZ, std::wstring(kMaxRegValueBytes + 1, L'x')),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
  long rc;
  EXPECT_EQ(Query(HKEY_CURRENT_USER, L"Software\\T", L"a", &rc), L"kept");
  Query(HKEY_CURRENT_USER, L"Software\\T", L"big", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);

  // The store's folder cannot exist: a file sits where it belongs.
  testsupport::WriteFile(m_env.Path("data/Tarvolen"), "not a folder");
  EXPECT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\X", &key), ERROR_ACCESS_DENIED);
}

}  // namespace
