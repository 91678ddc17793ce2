// Registry-shaped settings store over UTF-8 text files (see Registry.h).
//
// File format, one item per line:
//   ; comment
//   [HKEY_CURRENT_USER\Software\Tarvolen\RoruvAZ]
//   "installDir"=1:"/home/u/.local/opt/DevAdazuZirev/"
// Key paths, names and data are escaped: \\ \" \n \r \t, \xHH for other control
// characters and \u{H..} for code points that UTF-8 cannot carry.
#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Shell.h"
#include "platform/Text.h"

namespace platform {

enum class RootKind { CurrentUser, LocalMachine };

struct RegKey {
  RootKind root;
  std::wstring path;  // full path, root name first, components joined by "\"
  bool predefined;
};

namespace {

RegKey g_currentUser{RootKind::CurrentUser, L"HKEY_CURRENT_USER", true};
RegKey g_localMachine{RootKind::LocalMachine, L"HKEY_LOCAL_MACHINE", true};

struct Value {
  std::wstring name;
  uint32_t type = REG_SZ;
  std::wstring data;
};

struct Key {
  std::wstring path;
  std::vector<Value> values;
};

struct Store {
  std::vector<Key> keys;
};

const char kHeader[] = "; Tarvolen settings store, version 1\n";

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c; }

bool SameName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool HasPrefixPath(const std::wstring& path, const std::wstring& prefix) {
  return path.size() > prefix.size() && path[prefix.size()] == L'\\' &&
         SameName(path.substr(0, prefix.size()), prefix);
}

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : fallback;
}

std::string HomeDir() { return EnvOr("HOME", "/"); }

std::string RootFolder(RootKind root) {
  if (root == RootKind::CurrentUser)
    return EnvOr("XDG_CONFIG_HOME", HomeDir() + "/.config") + "/Tarvolen";
  if (UsesSystemWideLocations()) return "/var/lib/Tarvolen";
  return EnvOr("XDG_DATA_HOME", HomeDir() + "/.local/share") + "/Tarvolen";
}

std::string RootFile(RootKind root) {
  return RootFolder(root) + (root == RootKind::CurrentUser ? "/user.reg" : "/machine.reg");
}

// Builds the full path; false for an empty component inside the name.
bool FullPath(const RegKey& base, const wchar_t* subKey, std::wstring* out) {
  std::wstring path = base.path;
  if (subKey) {
    std::wstring part;
    std::wstring sub(subKey);
    for (size_t i = 0; i <= sub.size(); ++i) {
      if (i == sub.size() || sub[i] == L'\\') {
        if (!part.empty()) path += L"\\" + part;
        part.clear();
      } else {
        part += sub[i];
      }
    }
  }
  *out = path;
  return true;
}

// ---- escaping -------------------------------------------------------------

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  char buf[16];
  for (wchar_t wc : text) {
    char32_t c = static_cast<char32_t>(wc);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c));
          out += buf;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
          std::snprintf(buf, sizeof buf, "\\u{%X}", static_cast<unsigned>(c));
          out += buf;
        } else {
          AppendUtf8(out, c);
        }
    }
  }
  out += "\"";
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes one UTF-8 sequence at s[i]; false when malformed.
bool DecodeUtf8(const std::string& s, size_t& i, char32_t* out) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  int extra;
  char32_t cp;
  if (c < 0x80) { *out = c; ++i; return true; }
  if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
  else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
  else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
  else return false;
  if (i + extra >= s.size()) return false;
  for (int k = 1; k <= extra; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (cc & 0x3F);
  }
  static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += extra + 1;
  *out = cp;
  return true;
}

// Parses a quoted string starting at line[pos] (the opening quote); moves pos
// past the closing quote.
bool Unquote(const std::string& line, size_t& pos, std::wstring* out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  ++pos;
  out->clear();
  while (pos < line.size()) {
    char c = line[pos];
    if (c == '"') { ++pos; return true; }
    if (c == '\\') {
      if (++pos >= line.size()) return false;
      char e = line[pos++];
      switch (e) {
        case '\\': *out += L'\\'; break;
        case '"': *out += L'"'; break;
        case 'n': *out += L'\n'; break;
        case 'r': *out += L'\r'; break;
        case 't': *out += L'\t'; break;
        case 'x': {
          if (pos + 2 > line.size()) return false;
          int h = HexDigit(line[pos]), l = HexDigit(line[pos + 1]);
          if (h < 0 || l < 0) return false;
          *out += static_cast<wchar_t>(h * 16 + l);
          pos += 2;
          break;
        }
        case 'u': {
          if (pos >= line.size() || line[pos] != '{') return false;
          ++pos;
          uint64_t v = 0;
          int digits = 0;
          while (pos < line.size() && line[pos] != '}') {
            int d = HexDigit(line[pos++]);
            if (d < 0 || ++digits > 8) return false;
            v = v * 16 + d;
          }
          if (pos >= line.size() || digits == 0) return false;
          ++pos;
          *out += static_cast<wchar_t>(v);
          break;
        }
        default: return false;
      }
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20) return false;
    char32_t cp;
    if (!DecodeUtf8(line, pos, &cp)) return false;
    *out += static_cast<wchar_t>(cp);
  }
  return false;
}

bool Parse(const std::string& text, Store* store) {
  store->keys.clear();
  size_t start = 0;
  Key* current = nullptr;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) return false;  // a complete file ends with a line feed
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line[0] == ';') continue;
    size_t pos = 0;
    if (line[0] == '[') {
      pos = 1;
      Key key;
      if (!Unquote(line, pos, &key.path)) return false;
      if (pos + 1 != line.size() || line[pos] != ']') return false;
      store->keys.push_back(std::move(key));
      current = &store->keys.back();
      continue;
    }
    if (!current) return false;
    Value v;
    if (!Unquote(line, pos, &v.name)) return false;
    if (pos >= line.size() || line[pos++] != '=') return false;
    uint64_t type = 0;
    size_t digits = 0;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
      type = type * 10 + (line[pos++] - '0');
      if (++digits > 10) return false;
    }
    if (digits == 0 || type > 0xFFFFFFFFu) return false;
    if (pos >= line.size() || line[pos++] != ':') return false;
    if (!Unquote(line, pos, &v.data)) return false;
    if (pos != line.size()) return false;
    v.type = static_cast<uint32_t>(type);
    current->values.push_back(std::move(v));
  }
  return true;
}

std::string Serialize(const Store& store) {
  std::string out = kHeader;
  for (const Key& k : store.keys) {
    out += "[" + Quote(k.path) + "]\n";
    for (const Value& v : k.values)
      out += Quote(v.name) + "=" + std::to_string(v.type) + ":" + Quote(v.data) + "\n";
  }
  return out;
}

// ---- file access ------------------------------------------------------------

class FileLock {
 public:
  FileLock(const std::string& path, bool exclusive) {
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0 && !exclusive) m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd >= 0) {
      while (::flock(m_fd, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
      }
    }
  }
  ~FileLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing drops the lock
  }
  bool Held() const { return m_fd >= 0; }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int m_fd = -1;
};

enum class LoadResult { Ok, Missing, Corrupt, Unreadable };

LoadResult LoadFile(const std::string& path, Store* store) {
  store->keys.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? LoadResult::Missing : LoadResult::Unreadable;
  std::string text;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return LoadResult::Unreadable;
    }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return Parse(text, store) ? LoadResult::Ok : LoadResult::Corrupt;
}

bool MakeFolders(const std::string& folder) {
  std::string prefix;
  size_t pos = 0;
  while (pos <= folder.size()) {
    size_t next = folder.find('/', pos);
    if (next == std::string::npos) next = folder.size();
    prefix = folder.substr(0, next);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    pos = next + 1;
  }
  struct stat st;
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Temporary file beside the target, fsync, rename over it, fsync the folder.
bool ReplaceFile(const std::string& folder, const std::string& path, const std::string& data) {
  std::string tmpl = path + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(name.data(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(name.data());
    return false;
  }
  int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

// A file that does not parse is kept under a new name so nothing is lost; the
// store starts again empty.
void SetCorruptFileAside(const std::string& path) {
  for (int n = 1; n < 1000; ++n) {
    std::string aside = path + ".corrupt-" + std::to_string(n);
    struct stat st;
    if (::lstat(aside.c_str(), &st) == 0) continue;
    if (::rename(path.c_str(), aside.c_str()) == 0)
      std::fprintf(stderr, "settings store %s did not parse; kept as %s\n", path.c_str(),
                   aside.c_str());
    return;
  }
}

Key* FindKey(Store& store, const std::wstring& path) {
  for (Key& k : store.keys)
    if (SameName(k.path, path)) return &k;
  return nullptr;
}

bool KeyExists(Store& store, const std::wstring& path) {
  for (Key& k : store.keys)
    if (SameName(k.path, path) || HasPrefixPath(k.path, path)) return true;
  return false;
}

// Runs `change` on the current contents under the exclusive lock and writes the
// result back. `change` returns an error code; nothing is written unless it
// returns ERROR_SUCCESS.
template <typename Fn>
long Modify(RootKind root, Fn change) {
  std::string folder = RootFolder(root);
  std::string path = RootFile(root);
  if (!MakeFolders(folder)) return ERROR_ACCESS_DENIED;
  FileLock lock(path + ".lock", true);
  if (!lock.Held()) return ERROR_ACCESS_DENIED;
  Store store;
  LoadResult r = LoadFile(path, &store);
  if (r == LoadResult::Unreadable) return ERROR_ACCESS_DENIED;
  if (r == LoadResult::Corrupt) {
    SetCorruptFileAside(path);
    store.keys.clear();
  }
  long rc = change(store);
  if (rc != ERROR_SUCCESS) return rc;
  return ReplaceFile(folder, path, Serialize(store)) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

long Read(RootKind root, Store* store) {
  std::string path = RootFile(root);
  FileLock lock(path + ".lock", false);  // no folder yet means no file either
  switch (LoadFile(path, store)) {
    case LoadResult::Ok: return ERROR_SUCCESS;
    case LoadResult::Missing: return ERROR_FILE_NOT_FOUND;
    case LoadResult::Corrupt: return ERROR_REGISTRY_CORRUPT;
    case LoadResult::Unreadable: break;
  }
  return ERROR_ACCESS_DENIED;
}

bool ValidHandle(HKEY key) { return key != nullptr; }

}  // namespace

const HKEY HKEY_CURRENT_USER = &g_currentUser;
const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;

std::string RegistryFilePath(HKEY root) {
  return ValidHandle(root) ? RootFile(root->root) : std::string();
}

long RegCreateKeyW(HKEY root, const wchar_t* subKey, HKEY* result) {
  if (!ValidHandle(root) || !result) return ERROR_INVALID_HANDLE;
  std::wstring path;
  FullPath(*root, subKey, &path);
  long rc = Modify(root->root, [&](Store& store) {
    if (!FindKey(store, path)) store.keys.push_back(Key{path, {}});
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  *result = new RegKey{root->root, path, false};
  return ERROR_SUCCESS;
}

long RegOpenKeyExW(HKEY root, const wchar_t* subKey, uint32_t /*options*/, uint32_t /*access*/,
                   HKEY* result) {
  if (!ValidHandle(root) || !result) return ERROR_INVALID_HANDLE;
  std::wstring path;
  FullPath(*root, subKey, &path);
  if (path != root->path) {
    Store store;
    long rc = Read(root->root, &store);
    if (rc != ERROR_SUCCESS) return rc;
    if (!KeyExists(store, path)) return ERROR_FILE_NOT_FOUND;
  }
  *result = new RegKey{root->root, path, false};
  return ERROR_SUCCESS;
}

long RegSetValueExW(HKEY key, const wchar_t* valueName, uint32_t /*reserved*/, uint32_t type,
                    const std::wstring& data) {
  if (!ValidHandle(key)) return ERROR_INVALID_HANDLE;
  std::wstring name = valueName ? valueName : L"";
  if (Quote(data).size() > kMaxRegValueBytes + 2) return ERROR_INVALID_PARAMETER;
  return Modify(key->root, [&](Store& store) {
    Key* k = FindKey(store, key->path);
    if (!k) {
      store.keys.push_back(Key{key->path, {}});
      k = &store.keys.back();
    }
    for (Value& v : k->values) {
      if (SameName(v.name, name)) {
        v.type = type;
        v.data = data;
        return ERROR_SUCCESS;
      }
    }
    k->values.push_back(Value{name, type, data});
    return ERROR_SUCCESS;
  });
}

long RegQueryValueExW(HKEY key, const wchar_t* valueName, uint32_t* type, std::wstring* data) {
  if (!ValidHandle(key)) return ERROR_INVALID_HANDLE;
  std::wstring name = valueName ? valueName : L"";
  Store store;
  long rc = Read(key->root, &store);
  if (rc != ERROR_SUCCESS) return rc;
  Key* k = FindKey(store, key->path);
  if (!k) return ERROR_FILE_NOT_FOUND;
  for (const Value& v : k->values) {
    if (SameName(v.name, name)) {
      if (type) *type = v.type;
      if (data) *data = v.data;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

long RegDeleteValueW(HKEY key, const wchar_t* valueName) {
  if (!ValidHandle(key)) return ERROR_INVALID_HANDLE;
  std::wstring name = valueName ? valueName : L"";
  return Modify(key->root, [&](Store& store) {
    Key* k = FindKey(store, key->path);
    if (!k) return ERROR_FILE_NOT_FOUND;
    for (auto it = k->values.begin(); it != k->values.end(); ++it) {
      if (SameName(it->name, name)) {
        k->values.erase(it);
        return ERROR_SUCCESS;
      }
    }
    return ERROR_FILE_NOT_FOUND;
  });
}

long RegDeleteKeyW(HKEY root, const wchar_t* subKey) {
  if (!ValidHandle(root)) return ERROR_INVALID_HANDLE;
  std::wstring path;
  FullPath(*root, subKey, &path);
  if (path == root->path) return ERROR_ACCESS_DENIED;
  return Modify(root->root, [&](Store& store) {
    auto found = store.keys.end();
    for (auto it = store.keys.begin(); it != store.keys.end(); ++it) {
      if (HasPrefixPath(it->path, path)) return ERROR_ACCESS_DENIED;
      if (SameName(it->path, path)) found = it;
    }
    if (found == store.keys.end()) return ERROR_FILE_NOT_FOUND;
    store.keys.erase(found);
    return ERROR_SUCCESS;
  });
}

long RegCloseKey(HKEY key) {
  if (!ValidHandle(key)) return ERROR_INVALID_HANDLE;
  if (!key->predefined) delete key;
  return ERROR_SUCCESS;
}

}  // namespace platform
