// A service that misbehaves: packages cut short, stalled, replaced or missing,
// and install-info answers that are not answers. Each case checks what the user
// is shown, what stays on disk, and that the next run installs whole.
#include <gtest/gtest.h>

#include <filesystem>

#include "FaultHarness.h"
#include "decision/HttpInstallInfo.h"
#include "install/InstallPipeline.h"

namespace faults {
namespace {

namespace fs = std::filesystem;

struct DownloadCase {
  const char* name;
  const char* scenario;
  const wchar_t* error;     // null: the run completes (a fallback carried it)
  const char* packageLeft;  // "short", "html", "empty", "whole-1" when it fails
};
void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }

class DownloadFaults : public FaultsTest, public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(DownloadFaults, UserSeesTheFailureAndTheNextRunInstalls) {
  const DownloadCase& c = GetParam();
  const uint64_t whole = fs::file_size(m_service->PackagePath(1));
  Scenario(std::string("[update]\nversion = \"1.0.0.1\"\n") + c.scenario);
  Mark();
  auto run = RunToEnd();
  if (HasFatalFailure()) return;
  if (!c.error) {
    EXPECT_TRUE(run->Completed()) << ::testing::PrintToString(run->Calls());
    EXPECT_EQ(NewEvents(4), (std::vector<int>{9, 1, 2, 0}));
    ExpectInstalled("1.0.0.1");
  } else {
    EXPECT_EQ(run->Error(), Utf8(c.error)) << ::testing::PrintToString(run->Calls());
    EXPECT_FALSE(Contains(run->Calls(), "hide"));
    EXPECT_EQ(NewEvents(4), (std::vector<int>{9, 1, 2, 6}));
    EXPECT_FALSE(fs::exists(Dir() + "tvClient.exe")) << "a rejected package was unpacked";
    EXPECT_EQ(Product(L"Version"), L"<no key>");
    EXPECT_EQ(Uninstall(L"DisplayVersion"), L"<no key>");
    // The rejected package stays for inspection; the next run starts it over.
    ASSERT_TRUE(fs::exists(Dir() + "tmpClient"));
    const uint64_t left = fs::file_size(Dir() + "tmpClient");
    const std::string kind = c.packageLeft;
    if (kind == "short") {
      EXPECT_LT(left, whole);
    } else if (kind == "whole-1") {
      EXPECT_EQ(left, whole - 1);
    } else if (kind == "empty") {
      EXPECT_EQ(left, 0u);
    } else if (kind == "html") {
      EXPECT_NE(testsupport::ReadFile(Dir() + "tmpClient").find("<html"), std::string::npos);
    }
  }
  EXPECT_EQ(WrittenElsewhere(), std::vector<std::string>());
  ExpectHonestSettings();

  Scenario("[update]\nversion = \"1.0.0.1\"\n");
  if (c.error) {
    auto again = RunToEnd();
    EXPECT_TRUE(again->Completed()) << ::testing::PrintToString(again->Calls());
    ExpectInstalled("1.0.0.1");
  }
  ExpectHonestSettings();
}

// The stall case costs the 5 s read timeout of the HTTPS attempt.
INSTANTIATE_TEST_SUITE_P(
    Service, DownloadFaults,
    ::testing::Values(
        DownloadCase{"ClosedMidPackage", "[download]\nfault = close\n", kErrCrc, "short"},
        DownloadCase{"HttpsClosedMidPackageHttpWhole", "[download]\nfault.https = close\n",
                     nullptr, ""},
        DownloadCase{"HttpsStallsHttpWhole",
                     "[download]\nfault.https = stall\nfault_after = 65536\nstall_seconds = 30\n",
                     nullptr, ""},
        DownloadCase{"HttpsListenerClosed", "[listen]\nhttps = off\n", nullptr, ""},
        DownloadCase{"TruncatedByOneByte", "[download]\nfault = truncate\n", kErrCrc, "whole-1"},
        DownloadCase{"ReplacedByHtml", "[download]\nfault = html\n", kErrCrc, "html"},
        DownloadCase{"NotFound", "[download]\nfault = 404\n", kErrCrc, "html"},
        DownloadCase{"NoContent", "[download]\nfault = 204\n", kErrCrc, "empty"}),
    [](const ::testing::TestParamInfo<DownloadCase>& i) { return std::string(i.param.name); });

// Install-info answers that cannot be used: the check gives up (type 0, the
// browser-download box) or finds no package (type 5, the same box); nothing is
// downloaded or written, and a good answer next time installs.
struct InfoCase {
  const char* name;
  const char* scenario;
  int type;
};
void PrintTo(const InfoCase& c, std::ostream* os) { *os << c.name; }

class InstallInfoFaults : public FaultsTest, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(InstallInfoFaults, CheckGivesUpAndNothingIsWritten) {
  const InfoCase& c = GetParam();
  Scenario(c.scenario);
  Mark();
  auto run = RunToEnd();
  if (HasFatalFailure()) return;
  EXPECT_EQ(run->Calls(),
            (std::vector<std::string>{"check:" + std::to_string(c.type), "end"}));
  EXPECT_FALSE(fs::exists(Dir())) << "the folder was made before any install";
  EXPECT_EQ(Product(L"Version"), L"<no key>");
  EXPECT_EQ(WrittenElsewhere(), std::vector<std::string>());
  for (const Json::Value& r : m_service->Requests())
    EXPECT_EQ(r["path"].asString().find("/download/"), std::string::npos) << "a package was fetched";

  Scenario("[update]\nversion = \"1.0.0.1\"\n");
  auto again = RunToEnd();
  EXPECT_TRUE(again->Completed()) << ::testing::PrintToString(again->Calls());
  ExpectInstalled("1.0.0.1");
}

INSTANTIATE_TEST_SUITE_P(
    Service, InstallInfoFaults,
    ::testing::Values(
        InfoCase{"Malformed", "[update]\nmode = malformed\n", 0},
        InfoCase{"Empty", "[update]\nmode = empty\n", 0},
        InfoCase{"ClosedWithoutAnswer", "[update]\nmode = close\n", 0},
        InfoCase{"HtmlPage", "[update]\nstatus = 502\nbody = <html><body>Bad Gateway</body></html>\n", 0},
        InfoCase{"NotSuccess", "[update]\nis_success = false\n", 0},
        InfoCase{"NoData", "[update]\ndata = missing\n", 0},
        InfoCase{"DataNotAnObject", "[update]\ndata = [1,2,3]\n", 0},
        InfoCase{"SizeNotANumber", "[update]\nsize = \"lots\"\n", 0},
        InfoCase{"SizeZero", "[update]\nsize = \"0\"\n", 5}),
    [](const ::testing::TestParamInfo<InfoCase>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace faults
