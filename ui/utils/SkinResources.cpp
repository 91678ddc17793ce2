// The process-wide skin resource layer (see SkinResources.h). One mutex guards
// the folder, the archive and the lookups made through it.
#include "ui/utils/SkinResources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwchar>
#include <mutex>

#include "platform/ModulePath.h"
#include "platform/Text.h"
#include "ui/utils/ZipArchive.h"

namespace SkinUI {

namespace {

struct ResourceState {
  std::mutex mutex;
  void* instance = nullptr;
  std::wstring folder;
  std::wstring archiveName;
  bool keepOpen = false;
  CZipArchive archive;
  ResourceFinderFn finder = nullptr;
};

ResourceState& State() {
  static ResourceState* state = new ResourceState();  // lives until the process ends
  return *state;
}

// Skin names may be written with '\' between folders.
std::string FileSystemPath(const std::wstring& path) {
  std::string narrow = platform::WideToUtf8(path);
  for (char& c : narrow) {
    if (c == '\\') c = '/';
  }
  return narrow;
}

enum class FileRead { Ok, OpenFailed, Empty, TooLarge, ReadFailed };

FileRead ReadFile(const std::wstring& path, std::size_t limit, std::string* out) {
  std::string narrow = FileSystemPath(path);
  int fd = ::open(narrow.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FileRead::OpenFailed;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return FileRead::OpenFailed;
  }
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (size == 0) {
    ::close(fd);
    return FileRead::Empty;
  }
  if (size > limit) {
    ::close(fd);
    return FileRead::TooLarge;
  }
  out->assign(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < out->size()) {
    ssize_t n = ::read(fd, &(*out)[done], out->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (done != out->size()) {
    out->clear();
    return FileRead::ReadFailed;
  }
  return FileRead::Ok;
}

void OpenMemoryArchive(ResourceState& s, std::vector<unsigned char> block) {
  if (s.archiveName == kMemoryArchiveName) return;
  if (s.keepOpen) s.archive.Close();
  s.archiveName = kMemoryArchiveName;
  s.keepOpen = true;
  s.archive.OpenMemory(std::move(block));
}

bool FindPackaged(ResourceState& s, const std::string& type, int id, platform::ResourceBlob* blob) {
  if (s.finder != nullptr) return s.finder(type, id, blob);
  return platform::FindResource(type, id, blob);
}

// Archive entry lookup under the lock; `temp` holds an archive opened for this call.
const CZipArchive* CurrentArchive(ResourceState& s, CZipArchive* temp) {
  if (s.keepOpen) return s.archive.IsOpen() ? &s.archive : nullptr;
  if (!temp->OpenFile(s.folder + s.archiveName)) return nullptr;
  return temp;
}

}  // namespace

void SetModuleInstance(void* instance) {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.instance = instance;
}

void* ModuleInstance() {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.instance;
}

std::wstring InstanceFolder() {
  if (ModuleInstance() == nullptr) return std::wstring();
  std::wstring path = platform::ModuleFileName();
  std::size_t slash = path.find_last_of(L"/\\");
  if (slash == std::wstring::npos) return std::wstring();
  return path.substr(0, slash + 1);
}

void SetResourceFolder(const wchar_t* path) {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.folder = path ? path : L"";
  if (!s.folder.empty() && s.folder.back() != L'\\' && s.folder.back() != L'/') s.folder += L'/';
}

std::wstring ResourcePath() {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.folder;
}

void SetArchiveFile(const wchar_t* name) {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::wstring wanted = name ? name : L"";
  if (wanted == s.archiveName && s.keepOpen) return;
  if (s.keepOpen) s.archive.Close();
  s.archiveName = wanted;
  s.keepOpen = true;
  if (!wanted.empty()) s.archive.OpenFile(s.folder + wanted);
}

void SetArchiveMemory(std::vector<unsigned char> block) {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  OpenMemoryArchive(s, std::move(block));
}

std::wstring ArchiveName() {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.archiveName;
}

bool UseArchiveResource(int id) {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.archiveName == kMemoryArchiveName) return true;
  platform::ResourceBlob blob;
  if (!FindPackaged(s, platform::kResZip, id, &blob) || blob.data == nullptr || blob.size == 0) {
    return false;
  }
  OpenMemoryArchive(s, std::vector<unsigned char>(blob.data, blob.data + blob.size));
  return true;
}

bool ReadSkinFile(const std::wstring& name, std::string* bytes, std::wstring* error) {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::wstring ignored;
  if (error == nullptr) error = &ignored;
  bytes->clear();
  if (!s.archiveName.empty()) {
    CZipArchive temp;
    const CZipArchive* zip = CurrentArchive(s, &temp);
    if (zip == nullptr) {
      *error = L"Error opening zip file";
      return false;
    }
    int index = zip->Find(name);
    if (index < 0) {
      *error = L"Could not find ziped file";
      return false;
    }
    const ZipEntry& entry = zip->Entry(index);
    if (entry.uncompressedSize == 0) {
      *error = L"File is empty";
      return false;
    }
    if (entry.uncompressedSize > kMaxSkinFileSize) {
      *error = L"File too large";
      return false;
    }
    if (zip->Extract(index, bytes) != ZipResult::Ok) {
      bytes->clear();
      *error = L"Could not unzip file";
      return false;
    }
    return true;
  }
  switch (ReadFile(s.folder + name, kMaxSkinFileSize, bytes)) {
    case FileRead::Ok:
      return true;
    case FileRead::OpenFailed:
      *error = L"Error opening file";
      return false;
    case FileRead::Empty:
      *error = L"File is empty";
      return false;
    case FileRead::TooLarge:
      *error = L"File too large";
      return false;
    case FileRead::ReadFailed:
      *error = L"Could not read file";
      return false;
  }
  return false;
}

bool ReadImageBytes(const std::wstring& name, const std::wstring& type, std::string* bytes) {
  bytes->clear();
  if (name.empty()) return false;
  {
    ResourceState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!type.empty()) {
      wchar_t* end = nullptr;
      long id = std::wcstol(name.c_str(), &end, 10);
      platform::ResourceBlob blob;
      if (end != name.c_str() && FindPackaged(s, platform::WideToUtf8(type), static_cast<int>(id), &blob) &&
          blob.data != nullptr && blob.size > 0) {
        bytes->assign(reinterpret_cast<const char*>(blob.data), blob.size);
        return true;
      }
    } else if (!s.archiveName.empty()) {
      CZipArchive temp;
      const CZipArchive* zip = CurrentArchive(s, &temp);
      int index = zip ? zip->Find(name) : -1;
      if (index >= 0 && zip->Extract(index, bytes) == ZipResult::Ok && !bytes->empty()) return true;
      bytes->clear();
    } else if (ReadFile(s.folder + name, SIZE_MAX, bytes) == FileRead::Ok) {
      return true;
    }
  }
  // Images written elsewhere (the temporary folder) are named by their full path.
  return ReadFile(name, SIZE_MAX, bytes) == FileRead::Ok;
}

std::unique_ptr<SkinImage> LoadSkinImage(const std::wstring& name, const std::wstring& type, uint32_t mask) {
  std::string bytes;
  if (!ReadImageBytes(name, type, &bytes)) return nullptr;
  std::unique_ptr<SkinImage> image = DecodeSkinImage(bytes.data(), bytes.size(), mask);
  if (image) {
    image->m_strResType = type;
    image->m_dwMask = mask;
  }
  return image;
}

std::unique_ptr<CAnimatedImage> LoadAnimatedImage(const std::wstring& name) {
  std::string bytes;
  if (!ReadImageBytes(name, std::wstring(), &bytes)) return nullptr;
  return CAnimatedImage::Decode(bytes.data(), bytes.size());
}

void SetResourceFinderForTest(ResourceFinderFn finder) {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.finder = finder;
}

void ResetSkinResourcesForTest() {
  ResourceState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.instance = nullptr;
  s.folder.clear();
  s.archiveName.clear();
  s.keepOpen = false;
  s.archive.Close();
}

}  // namespace SkinUI
