// Path joining and the executable's folder.
#include "app/PathUtil.h"

#include "platform/ModulePath.h"
#include "platform/Text.h"

namespace {

template <typename S>
S Join(const S& dir, const S& name) {
  auto isSep = [](auto c) { return c == '/' || c == '\\'; };
  const bool dirSep = !dir.empty() && isSep(dir.back());
  const bool nameSep = !name.empty() && isSep(name.front());
  if (dirSep && nameSep) return dir + name.substr(1);
  if (dirSep || nameSep) return dir + name;
  S out = dir;
  out.push_back('/');
  return out + name;
}

}  // namespace

std::wstring JoinPath(const std::wstring& dir, const std::wstring& name) { return Join(dir, name); }

std::string JoinPath(const std::string& dir, const std::string& name) { return Join(dir, name); }

std::string ExeDirectoryA() {
  const std::string exe = platform::ModuleFileNameA();
  const size_t slash = exe.find_last_of('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::wstring ExeDirectory() { return platform::Utf8ToWide(ExeDirectoryA()); }
