// Deployment values from the packaged deploy.ini, with a test override.
#include "comm/Deployment.h"

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/Resources.h"
#include "platform/Text.h"

namespace {

// Used when the resource is missing or leaves a host out.
const char kDefaultApiHost[] = "api.tarvolen-cloud.example";
const char kDefaultReportHost[] = "report.tarvolen-cloud.example";
const char kDefaultDownloadHost[] = "static.tarvolen-cloud.example";

using platform::AsciiLower;
using platform::TrimAscii;

bool ParsePort(const std::string& text, int* out) {
  if (text.empty() || text.size() > 5) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < 1 || v > 65535) return false;
  *out = v;
  return true;
}

DeploymentValues Defaults() {
  DeploymentValues v;
  v.apiHost = kDefaultApiHost;
  v.reportHost = kDefaultReportHost;
  v.downloadHost = kDefaultDownloadHost;
  return v;
}

std::mutex g_lock;
std::optional<DeploymentValues> g_values;

DeploymentValues LoadPackaged() {
  platform::ResourceBlob blob;
  if (!platform::FindResource(platform::kResData, platform::kIdDeployIni, &blob)) return Defaults();
  return ParseDeploymentIni(std::string(reinterpret_cast<const char*>(blob.data), blob.size));
}

}  // namespace

DeploymentValues ParseDeploymentIni(const std::string& bytes) {
  DeploymentValues v = Defaults();
  // Through the INI text decoder, so a GBK file made on Windows reads too.
  const std::string text = platform::WideToUtf8(platform::DecodeIniText(bytes));
  bool inSection = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = TrimAscii(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      inSection = close != std::string::npos && AsciiLower(TrimAscii(line.substr(1, close - 1))) == "deployment";
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = AsciiLower(TrimAscii(line.substr(0, eq)));
    const std::string value = TrimAscii(line.substr(eq + 1));
    if (key == "apihost") {
      if (!value.empty()) v.apiHost = value;
    } else if (key == "reporthost") {
      if (!value.empty()) v.reportHost = value;
    } else if (key == "downloadhost") {
      if (!value.empty()) v.downloadHost = value;
    } else if (key == "httpsport") {
      ParsePort(value, &v.httpsPort);
    } else if (key == "httpport") {
      ParsePort(value, &v.httpPort);
    }
  }
  return v;
}

DeploymentValues GetDeployment() {
  std::lock_guard<std::mutex> lock(g_lock);
  if (!g_values) g_values = LoadPackaged();
  return *g_values;
}

std::string GetApiHost() { return GetDeployment().apiHost; }
std::string GetReportHost() { return GetDeployment().reportHost; }
std::string GetDownloadHost() { return GetDeployment().downloadHost; }
int GetHttpsPort() { return GetDeployment().httpsPort; }
int GetHttpPort() { return GetDeployment().httpPort; }

void SetDeploymentForTest(const DeploymentValues& values) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_values = values;
}

void ResetDeploymentForTest() {
  std::lock_guard<std::mutex> lock(g_lock);
  g_values.reset();
}
