// Deployment values: the deploy.ini rules, the packaged defaults, and the
// pack tool replacing them in a built executable.
#include "comm/Deployment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "platform/ResourceBundle.h"
#include "support/ScratchEnv.h"

namespace {

TEST(DeploymentTest, IniRules) {
  const struct {
    const char* text;
    const char* api;
    const char* report;
    int https;
    int http;
  } cases[] = {
      {"[Deployment]\nApiHost=a.example\nReportHost=r.example\nHttpsPort=8443\nHttpPort=8080\n", "a.example",
       "r.example", 8443, 8080},
      {"[deployment]\r\n  apihost =  a.example  \r\nHTTPSPORT=1\r\n", "a.example", "report.tarvolen-cloud.example", 1,
       80},
      {"[Other]\nApiHost=x\n[Deployment]\nHttpPort=65535\n", "api.tarvolen-cloud.example",
       "report.tarvolen-cloud.example", 443, 65535},
      {"[Deployment]\nHttpsPort=0\nHttpPort=70000\nApiHost=\n", "api.tarvolen-cloud.example",
       "report.tarvolen-cloud.example", 443, 80},
      {"[Deployment]\nHttpsPort=44x3\nHttpPort=-1\n; ApiHost=commented\n", "api.tarvolen-cloud.example",
       "report.tarvolen-cloud.example", 443, 80},
      {"", "api.tarvolen-cloud.example", "report.tarvolen-cloud.example", 443, 80},
  };
  for (const auto& c : cases) {
    const DeploymentValues v = ParseDeploymentIni(c.text);
    EXPECT_EQ(v.apiHost, c.api) << c.text;
    EXPECT_EQ(v.reportHost, c.report) << c.text;
    EXPECT_EQ(v.httpsPort, c.https) << c.text;
    EXPECT_EQ(v.httpPort, c.http) << c.text;
  }
}

// Run as the packed copy by the pack test below (INSTALLER_EXPECT_API_HOST
// set); otherwise the packaged values are those of res/deploy.ini.
TEST(DeploymentTest, PackagedValues) {
  ResetDeploymentForTest();
  if (const char* expected = std::getenv("INSTALLER_EXPECT_API_HOST")) {
    EXPECT_EQ(GetApiHost(), expected);
    EXPECT_EQ(GetHttpsPort(), 9443);
    return;
  }
  const DeploymentValues file =
      ParseDeploymentIni(testsupport::ReadFile(std::string(INSTALLER_SOURCE_DIR) + "/res/deploy.ini"));
  const DeploymentValues packaged = GetDeployment();
  EXPECT_EQ(packaged.apiHost, file.apiHost);
  EXPECT_EQ(packaged.reportHost, file.reportHost);
  EXPECT_EQ(packaged.downloadHost, file.downloadHost);
  EXPECT_EQ(packaged.httpsPort, file.httpsPort);
  EXPECT_EQ(packaged.httpPort, file.httpPort);
  EXPECT_NE(packaged.apiHost.find('.'), std::string::npos);
}

class PackTest : public ::testing::Test {
 protected:
  int Pack(const std::string& args) {
    const std::string cmd = std::string(INSTALLER_BINARY_DIR) + "/tools/pack/pack " + args + " >/dev/null";
    return std::system(cmd.c_str());
  }
  std::vector<platform::BundleEntry> Bundle(const std::string& file, std::string* bytes) {
    *bytes = testsupport::ReadFile(file);
    std::vector<platform::BundleEntry> entries;
    EXPECT_TRUE(platform::ParseBundle(reinterpret_cast<const unsigned char*>(bytes->data()), bytes->size(), &entries));
    return entries;
  }
  static std::string Data(const std::string& bytes, const platform::BundleEntry& e) {
    return bytes.substr(e.offset, e.size);
  }
  static const platform::BundleEntry* Find(const std::vector<platform::BundleEntry>& entries, const char* type,
                                           int id) {
    for (const auto& e : entries) {
      if (e.type == type && e.id == id) return &e;
    }
    return nullptr;
  }
  testsupport::ScratchEnv m_env;
};

TEST_F(PackTest, RepackingReplacesTheBundleInsteadOfStacking) {
  const std::string exe = std::string("\x7f" "ELF fake executable body", 25);
  testsupport::WriteFile(m_env.Path("in"), exe);
  testsupport::WriteFile(m_env.Path("deploy1.ini"), "[Deployment]\nApiHost=one\n");
  testsupport::WriteFile(m_env.Path("deploy2.ini"), "[Deployment]\nApiHost=two\n");
  testsupport::WriteFile(m_env.Path("title.png"), "PNGDATA");
  testsupport::WriteFile(m_env.Path("ca.pem"), "CA");

  ASSERT_EQ(Pack(m_env.Path("in") + " " + m_env.Path("once") + " --deploy-ini " + m_env.Path("deploy1.ini") +
                 " --png 108=" + m_env.Path("title.png")),
            0);
  ASSERT_EQ(Pack(m_env.Path("once") + " " + m_env.Path("twice") + " --deploy-ini " + m_env.Path("deploy2.ini") +
                 " --cacert " + m_env.Path("ca.pem")),
            0);

  std::string bytes;
  const auto entries = Bundle(m_env.Path("twice"), &bytes);
  EXPECT_EQ(bytes.substr(0, exe.size()), exe);
  ASSERT_EQ(entries.size(), 3u);
  ASSERT_NE(Find(entries, "DATA", 160), nullptr);
  EXPECT_EQ(Data(bytes, *Find(entries, "DATA", 160)), "[Deployment]\nApiHost=two\n");
  ASSERT_NE(Find(entries, "PNG", 108), nullptr);
  EXPECT_EQ(Data(bytes, *Find(entries, "PNG", 108)), "PNGDATA");
  ASSERT_NE(Find(entries, "DATA", 104), nullptr);
  EXPECT_EQ(Data(bytes, *Find(entries, "DATA", 104)), "CA");
  // Executable, bundle data, index, trailer: nothing left of the first bundle.
  EXPECT_EQ(bytes.size(), exe.size() + (25 + 7 + 2) + 4 + 3 * (2 + 4 + 8 + 8) + (4 + 4 + 3) + 16);

  struct stat st {};
  ASSERT_EQ(stat(m_env.Path("twice").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(PackTest, BadArgumentsFailWithoutOutput) {
  testsupport::WriteFile(m_env.Path("in"), "exe");
  EXPECT_NE(Pack(m_env.Path("in") + " " + m_env.Path("out") + " --png notanid 2>/dev/null"), 0);
  EXPECT_NE(Pack(m_env.Path("in") + " " + m_env.Path("out") + " --deploy-ini /no/such/file 2>/dev/null"), 0);
  EXPECT_NE(Pack(m_env.Path("in") + " " + m_env.Path("out") + " --bogus x 2>/dev/null"), 0);
  EXPECT_FALSE(std::filesystem::exists(m_env.Path("out")));
}

TEST_F(PackTest, PackedExecutableReadsTheNewDeployment) {
  if (std::getenv("INSTALLER_EXPECT_API_HOST")) GTEST_SKIP() << "already the packed copy";
  testsupport::WriteFile(m_env.Path("deploy.ini"), "[Deployment]\nApiHost=packed.example\nHttpsPort=9443\n");
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  ASSERT_EQ(Pack(self + " " + m_env.Path("packed") + " --deploy-ini " + m_env.Path("deploy.ini")), 0);
  const std::string cmd = "INSTALLER_EXPECT_API_HOST=packed.example " + m_env.Path("packed") +
                          " --gtest_filter=DeploymentTest.PackagedValues >/dev/null 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace
