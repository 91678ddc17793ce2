// Child-process installation runs, small volumes and the on-disk checks shared
// by the fault tests.
#include "FaultHarness.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <sstream>
#include <thread>

#include "app/Log.h"
#include "app/UIHelp.h"
#include "comm/Deployment.h"
#include "decision/EnvironmentCheck.h"
#include "decision/HttpInstallInfo.h"
#include "install/InstallPipeline.h"
#include "install/SystemIntegration.h"
#include "platform/Registry.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace faults {

namespace fs = std::filesystem;
using platform::Utf8ToWide;
using platform::WideToUtf8;

std::string Utf8(const wchar_t* text) { return WideToUtf8(text); }

bool Contains(const std::vector<std::string>& calls, const std::string& call) {
  for (const std::string& c : calls)
    if (c == call) return true;
  return false;
}

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The page as the child sees it: every call is appended to the run's log file
// at once, so what the user would have seen survives a kill.
class RecordingPage : public IInstallPage, public IProgressTarget {
 public:
  RecordingPage(std::string log, std::string pauseAt)
      : m_log(std::move(log)), m_pauseAt(std::move(pauseAt)) {}

  void Record(const std::string& line) {
    int fd = ::open(m_log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return;
    std::string l = line + "\n";
    if (::write(fd, l.data(), l.size()) < 0) {
    }
    ::close(fd);
  }
  // Waits for the parent's go file; a forgotten run ends after 60 s.
  void PauseIf(const char* stage) {
    if (m_pauseAt != stage || m_paused) return;
    m_paused = true;
    Record(std::string("paused:") + stage);
    const std::string go = m_log + ".go";
    for (int i = 0; i < 6000 && ::access(go.c_str(), F_OK) != 0; ++i) SleepMs(10);
    if (::access(go.c_str(), F_OK) != 0) ::_exit(3);
  }

  void SetNote(const std::wstring& text) override {
    Record("note:" + WideToUtf8(text));
    if (text == kNoteExtracting) PauseIf("extracting");
  }
  bool PostSetProcessValue(uint64_t total, uint64_t received) override {
    if (total) m_last = static_cast<int>(static_cast<double>(received) * 100.0 / total);
    if (total && received * 2 >= total && received < total) PauseIf("download");
    return true;
  }
  bool PostErrorClose(const std::wstring& text) override {
    Record("error:" + WideToUtf8(text));
    return true;
  }
  int LastPercent() const override { return m_last; }
  IProgressTarget* ExtractProgressTarget() override { return this; }
  void SendProgressMessage(unsigned message, uintptr_t wParam, intptr_t) override {
    if (message == WM_EXTRACT_PROGRESS && wParam >= 50) PauseIf("extract50");
  }
  void Hide() override {
    Record("hide");
    PauseIf("hide");
  }
  void Close(int code) override { Record("close:" + std::to_string(code)); }
  int RunCompletePage(const std::wstring& title) override {
    Record("complete:" + WideToUtf8(title));
    return 1;
  }

 private:
  std::string m_log;
  std::string m_pauseAt;
  bool m_paused = false;
  int m_last = 0;
};

// The child: the check as the check page runs it, then the pipeline for the
// install types that lead to the progress page.
[[noreturn]] void ChildBody(const std::string& dir, const std::string& log,
                            const RunOptions& options) {
  // The extractor's console lines would only clutter the test output.
  if (!std::freopen("/dev/null", "w", stdout)) ::_exit(5);
  if (options.uid != 0 && (::setgid(options.uid) != 0 || ::setuid(options.uid) != 0)) ::_exit(4);
  RecordingPage page(log, options.pauseAt);
  CUIHelp* ctx = CUIHelp::GetInstance();
  ctx->m_strInstallDir = Utf8ToWide(dir);
  ctx->m_strClientExe = L"tvClient.exe";
  HttpInstallInfo::GetInstance()->ResetForTest();
  std::promise<_CHECKTYPE> promise;
  std::future<_CHECKTYPE> decided = promise.get_future();
  {
    CEnvironmentCheck check(nullptr);
    check.CheckRegedit(promise);
  }
  const _CHECKTYPE type = decided.get();
  page.Record("check:" + std::to_string(static_cast<int>(type)));
  if (type == CHECK_INSTALL || type == CHECK_UPDATE || type == CHECK_REPAIR) {
    ctx->m_nType = type;
    RunInstallation(&page);
  }
  page.Record("end");
  std::fflush(nullptr);
  ::_exit(0);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Noise(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

}  // namespace

// ---- ChildRun -------------------------------------------------------------------

ChildRun::~ChildRun() {
  if (!m_reaped) Kill();
}

std::vector<std::string> ChildRun::Calls() const {
  std::vector<std::string> out;
  std::ifstream in(m_log);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

bool ChildRun::WaitCall(const std::string& call, int timeoutMs) const {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (Contains(Calls(), call)) return true;
    SleepMs(20);
  }
  return Contains(Calls(), call);
}

bool ChildRun::WaitExit(int timeoutMs, int* status) {
  for (int waited = 0; !m_reaped && waited <= timeoutMs; waited += 20) {
    int st = 0;
    if (::waitpid(m_pid, &st, WNOHANG) == m_pid) {
      m_reaped = true;
      if (status) *status = st;
      return true;
    }
    SleepMs(20);
  }
  if (m_reaped) return true;
  Kill();
  return false;
}

void ChildRun::Kill() {
  if (m_reaped) return;
  ::kill(m_pid, SIGKILL);
  int st = 0;
  ::waitpid(m_pid, &st, 0);
  m_reaped = true;
}

void ChildRun::Go() { testsupport::WriteFile(m_log + ".go", "go"); }

std::string ChildRun::Error() const {
  for (const std::string& c : Calls())
    if (c.rfind("error:", 0) == 0) return c.substr(6);
  return std::string();
}

bool ChildRun::Completed() const { return Contains(Calls(), "close:1"); }

// ---- SmallVolume ----------------------------------------------------------------

bool EnterPrivateMountNamespace() {
  static int state = -1;
  if (state < 0) {
    state = ::unshare(CLONE_NEWNS) == 0 &&
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }
  return state == 1;
}

SmallVolume::~SmallVolume() {
  if (m_where.empty()) return;
  ::umount2(m_where.c_str(), MNT_DETACH);
}

std::string SmallVolume::Mount(const std::string& where, const std::string& image, int mib) {
  fs::create_directories(where);
  if (EnterPrivateMountNamespace()) {
    std::string opts = "size=" + std::to_string(mib) + "m,mode=0755";
    if (::mount("tmpfs", where.c_str(), "tmpfs", 0, opts.c_str()) == 0) {
      m_where = where;
      m_how = "tmpfs of " + std::to_string(mib) + " MiB in a private mount namespace";
      return std::string();
    }
  }
  std::string cmd = "truncate -s " + std::to_string(mib) + "M '" + image +
                    "' && mkfs.ext2 -q -F -m 0 '" + image + "' >/dev/null 2>&1 && mount -o loop '" +
                    image + "' '" + where + "' 2>/dev/null";
  if (std::system(cmd.c_str()) == 0) {
    m_where = where;
    m_loop = true;
    m_how = "loop-mounted ext2 image of " + std::to_string(mib) + " MiB";
    return std::string();
  }
  return "neither a tmpfs in a private mount namespace (unshare/mount refused) nor a loop "
         "image could be mounted";
}

uint64_t SmallVolume::FreeBytes() const {
  struct statvfs v;
  if (::statvfs(m_where.c_str(), &v) != 0) return 0;
  return static_cast<uint64_t>(v.f_bfree) * v.f_frsize;  // root may use the reserve
}

bool SmallVolume::LeaveFree(uint64_t bytes) {
  RemoveFiller();
  uint64_t free = FreeBytes();
  if (free < bytes) return false;
  const std::string filler = m_where + "/filler";
  int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::string block(1 << 16, 'f');
  uint64_t left = free - bytes;
  bool ok = true;
  while (ok && left > 0) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
    ok = ::write(fd, block.data(), n) == static_cast<ssize_t>(n);
    left -= n;
  }
  ::fsync(fd);
  ::close(fd);
  return ok;
}

void SmallVolume::RemoveFiller() { ::unlink((m_where + "/filler").c_str()); }

bool SmallVolume::SetReadOnly(bool readOnly) {
  unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
  return ::mount(nullptr, m_where.c_str(), nullptr, flags, nullptr) == 0;
}

// ---- FaultsTest -------------------------------------------------------------------

namespace {
const char kClientScript[] =
    "#!/bin/sh\necho started > \"$(dirname \"$0\")/client.started\"\n";

// Two packages: v1 with 24 files of 200 KiB, 8 of them incompressible (about
// 1.6 MiB packed and 4.7 MiB unpacked, so a small volume fills during the
// download or the extraction, and packing stays quick), v2 small.
void MakePackages(const testsupport::ScratchEnv& env) {
  testsupport::WriteFile(env.Path("pkg1/tvClient.exe"), std::string(kClientScript) + "# v1\n");
  fs::permissions(env.Path("pkg1/tvClient.exe"), fs::perms(0755));
  testsupport::WriteFile(env.Path("pkg1/Uninstaller.exe"), "#!/bin/sh\n");
  for (int i = 0; i < 24; ++i) {
    std::string bytes = i % 3 == 0 ? Noise(200 * 1024, 100 + i)
                                   : std::string(200 * 1024, static_cast<char>('a' + i));
    testsupport::WriteFile(env.Path("pkg1/lib/part" + std::to_string(i) + ".bin"), bytes);
  }
  testsupport::WriteFile(env.Path("pkg2/tvClient.exe"), std::string(kClientScript) + "# v2\n");
  fs::permissions(env.Path("pkg2/tvClient.exe"), fs::perms(0755));
  testsupport::WriteFile(env.Path("pkg2/Uninstaller.exe"), "#!/bin/sh\n# v2\n");
  testsupport::WriteFile(env.Path("pkg2/lib/extra.bin"), Noise(64 * 1024, 7));
}
}  // namespace

void FaultsTest::SetUp() {
  setenv("INSTALLER_USER_SCOPE", "1", 1);
  unsetenv("DISPLAY");  // message boxes go to stderr, never to a screen
  SetLogDir(Utf8ToWide(m_env.Path("log")));
  MakePackages(m_env);
  m_service = std::make_unique<testsupport::DevService>(m_env.Path("svc"));
  testsupport::DevServiceConfig cfg;
  // Packing the incompressible v1 tree takes seconds: the first test's archives
  // are served to the later ones (the trees are the same every time).
  static std::string cache[2];
  cfg.package = cache[0].empty() ? m_env.Path("pkg1") : cache[0];
  cfg.packageV2 = cache[1].empty() ? m_env.Path("pkg2") : cache[1];
  cfg.scenario = "[update]\nversion = \"1.0.0.1\"\n";
  cfg.startTimeoutMs = 90000;  // packing on a busy machine
  ASSERT_TRUE(m_service->Start(cfg)) << m_service->Error();
  if (cache[0].empty()) {
    static const std::string folder = std::string("/tmp/faults-packages-") +
                                      std::to_string(::getpid());
    // Outside the scratch folder, which goes with the test; removed at exit.
    fs::create_directories(folder);
    for (int v = 0; v < 2; ++v) {
      std::string copy = folder + "/package-v" + std::to_string(v + 1) + ".7z";
      fs::copy_file(m_service->PackagePath(v + 1), copy, fs::copy_options::overwrite_existing);
      cache[v] = copy;
    }
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(folder, ec);
    });
  }
  DeploymentValues d = GetDeployment();
  d.apiHost = d.reportHost = d.downloadHost = "127.0.0.1";
  d.httpsPort = m_service->HttpsPort();
  d.httpPort = m_service->HttpPort();
  SetDeploymentForTest(d);
  fs::create_directories(platform::TempFolderA());
  fs::copy_file(m_service->CaPath(), platform::TempFolderA() + "cacert.pem",
                fs::copy_options::overwrite_existing);
  CUIHelp* ctx = CUIHelp::GetInstance();
  m_savedDir = ctx->m_strInstallDir;
  m_savedExe = ctx->m_strClientExe;
  m_savedType = ctx->m_nType;
  SetInstallDir(m_env.Path("home/.local/opt/DevAdazuZirev/"));
}

void FaultsTest::TearDown() {
  CUIHelp* ctx = CUIHelp::GetInstance();
  ctx->m_strInstallDir = m_savedDir;
  ctx->m_strClientExe = m_savedExe;
  ctx->m_nType = m_savedType;
  ResetDeploymentForTest();
  unsetenv("INSTALLER_USER_SCOPE");
}

void FaultsTest::SetInstallDir(const std::string& dir) { m_dir = dir; }

std::unique_ptr<ChildRun> FaultsTest::Start(const RunOptions& options) {
  std::string log = m_env.Path("run" + std::to_string(++m_runs) + ".log");
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) ChildBody(m_dir, log, options);
  EXPECT_GT(pid, 0) << "fork failed";
  return std::make_unique<ChildRun>(pid, log);
}

std::unique_ptr<ChildRun> FaultsTest::RunToEnd(const RunOptions& options) {
  std::unique_ptr<ChildRun> run = Start(options);
  int status = 0;
  EXPECT_TRUE(run->WaitExit(60000, &status)) << "the run did not end within 60 s";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "run status " << status;
  return run;
}

void FaultsTest::Scenario(const std::string& ini) { ASSERT_TRUE(m_service->WriteScenario(ini)); }

std::vector<int> FaultsTest::NewEvents(size_t expected) {
  std::vector<Json::Value> reports;
  m_service->WaitForReports(m_reportsSeen + expected, 5000, &reports);
  std::vector<int> events;
  for (size_t i = m_reportsSeen; i < reports.size(); ++i)
    events.push_back(reports[i]["event"].isInt() ? reports[i]["event"].asInt() : -1);
  m_reportsSeen = reports.size();
  return events;
}

std::string FaultsTest::PackageFolder(const std::string& version) const {
  if (version == "1.0.0.1") return m_env.Path("pkg1");
  if (version == "2.0") return m_env.Path("pkg2");
  return std::string();
}

namespace {
std::wstring ReadValue(platform::HKEY root, const wchar_t* key, const wchar_t* name) {
  platform::HKEY k = nullptr;
  if (platform::RegOpenKeyExW(root, key, 0, platform::KEY_QUERY_VALUE, &k) !=
      platform::ERROR_SUCCESS)
    return L"<no key>";
  std::wstring v = L"<missing>";
  platform::RegQueryValueExW(k, name, nullptr, &v);
  platform::RegCloseKey(k);
  return v;
}
}  // namespace

std::wstring FaultsTest::Product(const wchar_t* name) const {
  return ReadValue(platform::HKEY_CURRENT_USER, kProductKey, name);
}

std::wstring FaultsTest::Uninstall(const wchar_t* name) const {
  return ReadValue(platform::HKEY_LOCAL_MACHINE, kUninstallKey, name);
}

void FaultsTest::ExpectInstalled(const std::string& version) {
  const std::string pkg = PackageFolder(version);
  ASSERT_FALSE(pkg.empty());
  for (const auto& e : fs::recursive_directory_iterator(pkg)) {
    if (!e.is_regular_file()) continue;
    std::string rel = fs::relative(e.path(), pkg).string();
    EXPECT_EQ(FileBytes(m_dir + rel), FileBytes(e.path().string())) << rel << " of " << version;
  }
  EXPECT_EQ(WideToUtf8(Product(L"Version")), version);
  EXPECT_EQ(WideToUtf8(Product(L"installDir")), m_dir);
  EXPECT_EQ(WideToUtf8(Uninstall(L"DisplayVersion")), version);
  EXPECT_FALSE(fs::exists(m_dir + "tmpClient")) << "the package outlived a complete install";
}

void FaultsTest::ExpectHonestSettings() {
  for (platform::HKEY root : {platform::HKEY_CURRENT_USER, platform::HKEY_LOCAL_MACHINE}) {
    fs::path file = platform::RegistryFilePath(root);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(file.parent_path(), ec)) {
      std::string name = e.path().filename().string();
      std::string base = file.filename().string();
      bool known = name == base || name == base + ".lock" || name.rfind(base + ".corrupt-", 0) == 0;
      EXPECT_TRUE(known) << "left beside the settings: " << name;
    }
  }
  platform::HKEY k = nullptr;
  long rc = platform::RegOpenKeyExW(platform::HKEY_CURRENT_USER, kProductKey, 0,
                                    platform::KEY_QUERY_VALUE, &k);
  if (k) platform::RegCloseKey(k);
  EXPECT_NE(rc, platform::ERROR_REGISTRY_CORRUPT) << "the product settings do not parse";
  for (const std::wstring& claimed : {Product(L"Version"), Uninstall(L"DisplayVersion")}) {
    if (claimed == L"<no key>" || claimed == L"<missing>") continue;
    const std::string pkg = PackageFolder(WideToUtf8(claimed));
    ASSERT_FALSE(pkg.empty()) << "unknown version claimed: " << WideToUtf8(claimed);
    std::string dir = WideToUtf8(Product(L"installDir"));
    for (const auto& e : fs::recursive_directory_iterator(pkg)) {
      if (!e.is_regular_file()) continue;
      std::string rel = fs::relative(e.path(), pkg).string();
      std::error_code ec;
      EXPECT_TRUE(fs::is_regular_file(dir + rel, ec) &&
                  fs::file_size(dir + rel, ec) > 0)
          << "version " << WideToUtf8(claimed) << " is recorded but " << rel << " is missing";
    }
  }
}

namespace {
void Scan(const std::string& root, const std::string& skip,
          std::map<std::string, std::string>* out) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (ec) break;
    const std::string p = it->path().string();
    if (p == skip) {
      it.disable_recursion_pending();
      continue;
    }
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    (*out)[p] = std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
                std::to_string(st.st_mtim.tv_nsec);
  }
}
}  // namespace

void FaultsTest::Mark() {
  m_mark.clear();
  Scan(m_env.Root(), m_env.Path("svc"), &m_mark);
}

std::vector<std::string> FaultsTest::WrittenElsewhere() const {
  std::map<std::string, std::string> now;
  Scan(m_env.Root(), m_env.Path("svc"), &now);
  const std::string allowed[] = {
      m_dir,
      fs::path(platform::RegistryFilePath(platform::HKEY_CURRENT_USER)).parent_path().string() + "/",
      fs::path(platform::RegistryFilePath(platform::HKEY_LOCAL_MACHINE)).parent_path().string() + "/",
      m_env.Path("data/applications/"),
      m_env.Home() + "/Desktop/",
      m_env.Path("log/"),
      platform::TempFolderA(),
      m_env.Path("run"),  // the runs' own call logs
  };
  std::vector<std::string> out;
  for (const auto& [path, stamp] : now) {
    auto was = m_mark.find(path);
    if (was != m_mark.end() && was->second == stamp) continue;
    bool ok = false;
    for (const std::string& a : allowed) ok = ok || path.rfind(a, 0) == 0;
    if (!ok) out.push_back(path);
  }
  return out;
}

}  // namespace faults
