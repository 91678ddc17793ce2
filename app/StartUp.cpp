// The first stage of the process: refuse a second instance, start the log,
// write the packaged files to the private temporary folder, load the configuration.
#include "app/StartUp.h"

#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include "app/InstallerIni.h"
#include "app/Log.h"
#include "app/PathUtil.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Privilege.h"
#include "platform/Resources.h"
#include "platform/SingleInstance.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

constexpr const char* kMutexName = "5B2E7C1A-94D3-4F6E-A8B0-3C7D2E91F4A6";

struct PackagedFile {
  const char* type;
  int id;
  const wchar_t* name;
};

const PackagedFile kPackagedFiles[] = {
    {platform::kResData, platform::kIdCaCert, L"cacert.pem"},
    {platform::kResData, platform::kIdNetLinkDat, L"NetLink.dat"},
    {platform::kResData, platform::kIdDatIni, L"dat.ini"},
    {platform::kResPng, platform::kIdLeftTitle, L"lefttitle.png"},
    {platform::kResPng, platform::kIdOemPng, L"oem.png"},
};

// Held for the life of the process; flock goes with it when the process ends.
std::unique_ptr<platform::SingleInstanceLock> g_instanceLock;

}  // namespace

bool EnableDebugPrivilege() { return platform::HasDebugPrivilege(); }

bool ReleaseResourceFile(const std::wstring& path, const char* type, int id) {
  platform::ResourceBlob blob;
  if (!platform::FindResource(type, id, &blob) || blob.size == 0) return false;
  platform::DeleteFileW(path);
  // O_EXCL after the delete: whatever sits at the path now is not ours to follow.
  int fd = open(platform::WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return false;
  bool ok = platform::WriteAll(fd, blob.data, blob.size);
  if (close(fd) != 0) ok = false;
  return ok;
}

StartUpResult StartUp(void* instance, const std::string& commandLine) {
  (void)instance;
  StartUpResult result;

  auto lock = std::make_unique<platform::SingleInstanceLock>(kMutexName);
  if (lock->AlreadyExists()) {
    lock.reset();
    platform::MessageBoxW(nullptr, L"安装程序只能运行一个", L"错误提示", MB_ICONERROR);
    result.goOn = false;
    result.exitCode = 0;
    return result;
  }
  g_instanceLock = std::move(lock);

  InitLog();
  EnableDebugPrivilege();

  const std::wstring temp = platform::TempFolder();
  for (const PackagedFile& f : kPackagedFiles) {
    ReleaseResourceFile(JoinPath(temp, f.name), f.type, f.id);
  }

  result.repair = commandLine == "repair";
  CInstallerIni::GetInstance()->Load(result.repair);

  // COM has no counterpart here; its initialisation always succeeds.
  result.goOn = true;
  result.exitCode = 0;
  return result;
}

void ReleaseStartUpLockForTest() { g_instanceLock.reset(); }
