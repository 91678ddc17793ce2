// The request client used by the install-info request and the reports.
#include "comm/HttpLibRequest.h"

#include "app/Log.h"
#include "app/PathUtil.h"
#include "comm/Deployment.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

constexpr time_t kTimeoutSeconds = 5;
const char kCaFileName[] = "cacert.pem";

template <typename Client>
void Configure(Client& client) {
  client.set_connection_timeout(kTimeoutSeconds, 0);
  client.set_read_timeout(kTimeoutSeconds, 0);
  client.set_follow_location(false);
}

template <typename Client>
void Post(Client& client, const std::string& path, const httplib::Headers& headers,
          const std::string& body, std::string& response) {
  httplib::Headers all = headers;
  all.emplace("User-Agent", kUserAgent);
  httplib::Result res = client.Post(path.c_str(), all, body, "application/json");
  if (res) response = res->body;
}

}  // namespace

bool FindCaBundle(std::string* path) {
  std::string candidate = JoinPath(platform::TempFolderA(), kCaFileName);
  if (platform::IsRegularFile(platform::Utf8ToWide(candidate))) {
    *path = candidate;
    return true;
  }
  candidate = JoinPath(ExeDirectoryA(), kCaFileName);
  *path = candidate;
  return platform::IsRegularFile(platform::Utf8ToWide(candidate));
}

void HttpPost(const std::string& host, const std::string& path,
              const std::map<std::string, std::string>& headers, const char* body,
              std::string& response) {
  httplib::Headers list;
  for (const auto& [name, value] : headers) list.emplace(name, value);
  const std::string text = body ? body : "";
  httplib_request_muti(host, path, list, text, response);
}

void httplib_request_muti(const std::string& host, const std::string& path,
                          const httplib::Headers& headers, const std::string& body,
                          std::string& response) {
  httplib_request(host, path, headers, body, response, true);
  if (!response.empty()) return;
  LogWrite(Info, L"comm\\HttpLibRequest", __LINE__, L"httplib_request_muti", L"https turn to http");
  httplib_request(host, path, headers, body, response, false);
}

void httplib_request(const std::string& host, const std::string& path,
                     const httplib::Headers& headers, const std::string& body,
                     std::string& response, bool useHttps) {
  if (useHttps) {
    httplib::SSLClient client(host, GetHttpsPort());
    Configure(client);
    std::string caFile;
    if (FindCaBundle(&caFile)) {
      client.set_ca_cert_path(caFile.c_str());
      client.enable_server_certificate_verification(true);
    } else {
      LogWrite(Error, L"comm\\HttpLibRequest", __LINE__, L"httplib_request", L"can not find cacert file");
      client.enable_server_certificate_verification(false);
    }
    Post(client, path, headers, body, response);
  } else {
    httplib::Client client(host, GetHttpPort());
    Configure(client);
    Post(client, path, headers, body, response);
  }
}
