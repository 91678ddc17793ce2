// The installation pipeline's fixed sequence of steps (see InstallPipeline.h).
#include "install/InstallPipeline.h"

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/InstallerIni.h"
#include "app/PathUtil.h"
#include "app/StartUp.h"
#include "app/UIHelp.h"
#include "comm/HttpLibDownLoad.h"
#include "decision/HttpInstallInfo.h"
#include "install/ArchiveExtract.h"
#include "install/CrcCheck.h"
#include "install/SystemIntegration.h"
#include "platform/DebugOutput.h"
#include "platform/Files.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "report/InstallerReportData.h"

const wchar_t kErrHttpsDownload[] = L"https下载客户端失败";
const wchar_t kErrHttpDownload[] = L"http下载客户端失败";
const wchar_t kErrCrc[] = L"client校验crc失败";
const wchar_t kErrStopClient[] = L"关闭客户端失败";
const wchar_t kErrStopBrowser[] = L"关闭QT浏览器组件失败";
const wchar_t kErrExtract[] = L"解压客户端失败";
const wchar_t kNoteDownloading[] = L"正在下载客户端程序，请稍后...";
const wchar_t kNoteExtracting[] = L"正在解压客户端程序，请稍后...";

namespace {

// The page running the installation, for the download sink (which has no
// context argument). Set for the duration of RunInstallation only.
std::atomic<IInstallPage*> g_page{nullptr};

struct PageRegistration {
  explicit PageRegistration(IInstallPage* page) { g_page.store(page); }
  ~PageRegistration() { g_page.store(nullptr); }
};

void Report(int code, const std::string& text1 = std::string()) {
  CInstallerReportData::GetInstance()->ReportEvent(code, text1, std::string());
}

// Creates each missing folder along the path, stopping at the first that
// cannot be made; a folder that could not be made shows up as a failed download.
void MakeInstallFolders(const std::wstring& dir) {
  std::wstring prefix;
  for (size_t i = 0; i < dir.size(); ++i) {
    wchar_t c = dir[i];
    prefix += c;
    if ((c == L'/' || c == L'\\') && prefix.size() > 1) {
      if (!platform::IsDirectory(prefix) && !platform::CreateDirectories(prefix)) return;
    }
  }
  if (!prefix.empty() && prefix.back() != L'/' && !platform::IsDirectory(prefix))
    platform::CreateDirectories(prefix);
}

void RemovePackagePath(const std::wstring& path) {
  std::error_code ec;
  std::filesystem::path p(platform::WideToUtf8(path));
  if (std::filesystem::is_directory(std::filesystem::symlink_status(p, ec)))
    std::filesystem::remove_all(p, ec);
  else
    std::filesystem::remove(p, ec);
}

void Fail(IInstallPage* page, const wchar_t* text, int event) {
  if (event >= 0) Report(event, std::to_string(page->LastPercent()));
  page->PostErrorClose(text);
}

// The installer's own files; a repair keeps the ones already there.
void PlaceInstallerFiles(const std::wstring& dir) {
  ReleaseResourceFile(JoinPath(dir, L"dat.ini"), platform::kResData, platform::kIdDatIni);
  WriteClientIconFile(JoinPath(dir, L"Cloud.ico"));
  ReleaseResourceFile(JoinPath(dir, L"boot_background_game.png"), platform::kResPng,
                      platform::kIdBootBackground);
  ReleaseResourceFile(JoinPath(dir, L"oem.png"), platform::kResPng, platform::kIdOemPng);
  CopyNetLinkToInstallDir();
}

}  // namespace

int OnDownloadProgress(uint64_t total, uint64_t received) {
  char line[96];
  std::snprintf(line, sizeof line, "-----DOWN: %" PRIu64 " of %" PRIu64 " \r\n", received, total);
  platform::OutputDebugStringA(line);
  if (IInstallPage* page = g_page.load()) page->PostSetProcessValue(total, received);
  return 0;
}

void RunInstallation(IInstallPage* page) {
  if (!page) return;
  PageRegistration registration(page);
  CUIHelp* ctx = CUIHelp::GetInstance();
  HttpInstallInfo* info = HttpInstallInfo::GetInstance();

  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // Every later step concatenates names to the folder, so it must end with a
  // separator.
  if (!ctx->m_strInstallDir.empty() && ctx->m_strInstallDir.back() != L'/' &&
      ctx->m_strInstallDir.back() != L'\\')
    ctx->m_strInstallDir += L'/';
  const std::wstring dir = ctx->m_strInstallDir;
  MakeInstallFolders(dir);
  const std::wstring package = JoinPath(dir, L"tmpClient");
  RemovePackagePath(package);

  page->SetNote(kNoteDownloading);
  Report(1);

  std::string host, path;
  UrlScheme scheme = UrlScheme::Unknown;
  if (SplitUrl(platform::WideToUtf8(info->m_strDownUrl), host, path, &scheme)) {
    if (httplib_down_muti(host.c_str(), path.c_str(), package.c_str(), &OnDownloadProgress,
                          scheme) != 0)
      return Fail(page, kErrHttpsDownload, 5);
  } else {
    if (httplib_down_http("", "", package.c_str(), &OnDownloadProgress) != 0)
      return Fail(page, kErrHttpDownload, 5);
  }
  Report(2);

  BuildCrcTable();
  uint32_t crc = 0;
  if (FileCrc32(package, &crc) != 0 || !CrcMatches(crc, info->m_nCrc))
    return Fail(page, kErrCrc, 6);

  if (StopProcessByName(ctx->m_strClientExe) == StopResult::Failed)
    return Fail(page, kErrStopClient, -1);
  if (StopProcessByName(L"QtWebEngineProcess.exe") == StopResult::Failed)
    return Fail(page, kErrStopBrowser, -1);

  page->SetNote(kNoteExtracting);
  // A package that did not unpack whole (disk full, folder not writable) must
  // not be registered: the settings would claim a version whose files are not
  // all there, and the next check would only start the broken client.
  if (ExtractClientArchive(platform::WideToUtf8(package).c_str(), dir.c_str(),
                           page->ExtractProgressTarget()) != 0)
    return Fail(page, kErrExtract, -1);

  if (ctx->m_nType != CHECK_REPAIR) PlaceInstallerFiles(dir);
  CreateShortcuts();
  WriteRegistryEntries();
  platform::DeleteFileW(package);
  Report(0);

  page->Hide();
  page->RunCompletePage(CInstallerIni::GetInstance()->GetValue(DatIni, InstallerAttribute,
                                                               L"Tarvolen云电脑安装程序"));
  LaunchClient();
  page->Close(1);
}
