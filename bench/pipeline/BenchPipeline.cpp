// One installation through the real pipeline with a headless page, against a
// running demo service: the time from the install click to the complete page.
//   bench_pipeline --https-port N --http-port N --ca FILE --dir INSTALLDIR
// Run it with HOME, XDG_* and TMPDIR pointing at a scratch folder.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Log.h"
#include "app/UIHelp.h"
#include "comm/Deployment.h"
#include "decision/HttpInstallInfo.h"
#include "install/InstallPipeline.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

class TimedPage : public IInstallPage {
 public:
  explicit TimedPage(Clock::time_point t0) : m_t0(t0) {}
  void SetNote(const std::wstring& text) override {
    if (text == kNoteExtracting) m_extracting = Since(m_t0);
  }
  bool PostSetProcessValue(uint64_t, uint64_t) override { return true; }
  bool PostErrorClose(const std::wstring& text) override {
    m_error = platform::WideToUtf8(text);
    return true;
  }
  int LastPercent() const override { return 0; }
  IProgressTarget* ExtractProgressTarget() override { return nullptr; }
  void Hide() override {}
  void Close(int) override {}
  int RunCompletePage(const std::wstring&) override {
    m_complete = Since(m_t0);
    return 1;
  }

  Clock::time_point m_t0;
  double m_extracting = -1;
  double m_complete = -1;
  std::string m_error;
};

}  // namespace

int main(int argc, char** argv) {
  DeploymentValues d = GetDeployment();
  d.apiHost = d.reportHost = d.downloadHost = "127.0.0.1";
  std::string ca, dir;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--https-port") d.httpsPort = std::atoi(argv[i + 1]);
    else if (a == "--http-port") d.httpPort = std::atoi(argv[i + 1]);
    else if (a == "--ca") ca = argv[i + 1];
    else if (a == "--dir") dir = argv[i + 1];
  }
  if (ca.empty() || dir.empty()) {
    std::fprintf(stderr, "usage: bench_pipeline --https-port N --http-port N --ca FILE --dir DIR\n");
    return 2;
  }
  SetDeploymentForTest(d);
  SetLogDir(platform::Utf8ToWide(platform::TempFolderA()));
  std::error_code ec;
  std::filesystem::create_directories(platform::TempFolderA(), ec);
  std::filesystem::copy_file(ca, platform::TempFolderA() + "cacert.pem",
                             std::filesystem::copy_options::overwrite_existing, ec);
  // The check page asks the service before the install page's click.
  if (!HttpInstallInfo::GetInstance()->RequestInstallInfo()) {
    std::fprintf(stderr, "install-info request failed\n");
    return 1;
  }
  CUIHelp* ctx = CUIHelp::GetInstance();
  ctx->m_strInstallDir = platform::Utf8ToWide(dir);
  ctx->m_nType = CHECK_INSTALL;
  if (!std::freopen("/dev/null", "w", stdout)) return 2;  // the extractor's console lines
  const Clock::time_point t0 = Clock::now();
  TimedPage page(t0);
  RunInstallation(&page);
  if (!page.m_error.empty() || page.m_complete < 0) {
    std::fprintf(stderr, "installation failed: %s\n", page.m_error.c_str());
    return 1;
  }
  std::fprintf(stderr, "click to complete page %.3f s (extraction note at %.3f s)\n", page.m_complete,
               page.m_extracting);
  return 0;
}
