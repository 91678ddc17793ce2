// Report signature with OpenSSL's MD5, independent of the installer's own digest.
#include "tools/devservice/ReportCheck.h"

#include <openssl/evp.h>

#include <cstdio>

namespace devservice {
namespace {
const char kSignKey[] = "7PQE3VDRXK5MUGTB9YCN";
}

std::string ReportSignature(const std::string& body) {
  const std::string input =
      std::string(kSignKey) + kProjectId + "|" + kBusinessId + "|" + body + kSignKey;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_Digest(input.data(), input.size(), digest, &len, EVP_md5(), nullptr) != 1) return "";
  std::string hex;
  char two[3];
  for (unsigned int i = 0; i < len; ++i) {
    std::snprintf(two, sizeof two, "%02X", digest[i]);
    hex += two;
  }
  return hex;
}

std::vector<std::string> SplitColumns(const std::string& line) {
  std::vector<std::string> cols;
  size_t start = 0;
  while (start < line.size()) {
    size_t tab = line.find('\t', start);
    if (tab == std::string::npos) {
      cols.push_back(line.substr(start));
      break;
    }
    cols.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  return cols;
}

}  // namespace devservice
