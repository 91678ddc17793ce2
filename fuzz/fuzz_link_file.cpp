// Deciphering of the link file: any contents with any key; what the enciphering
// accepts comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/LinkCipher.h"

namespace {

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  uint8_t buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
  std::fclose(f);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  static const std::string dir = fuzz::ScratchDir();
  const std::string in = dir + "/NetLink.dat", out = dir + "/NetLink.ini", back = dir + "/back.dat";
  const uint8_t* key = data;
  if (!fuzz::WriteFile(in, data + 8, size - 8)) return 0;
  unlink(out.c_str());
  DecryptLinkFile(in.c_str(), key, out.c_str());

  // Round trip: the input as plain text.
  if (EncryptLinkFile(in.c_str(), key, back.c_str()) == kDecryptOk) {
    if (DecryptLinkFile(back.c_str(), key, out.c_str()) != kDecryptOk) __builtin_trap();
    std::vector<uint8_t> got;
    if (!ReadFile(out, &got) || got != std::vector<uint8_t>(data + 8, data + size)) __builtin_trap();
  }
  return 0;
}
