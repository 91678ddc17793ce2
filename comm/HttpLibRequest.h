// The request client: posts one body to a path on a service host, HTTPS first
// (verified against the packaged CA bundle) and once plain HTTP when HTTPS
// brought back no body. Callers judge the outcome by the response text alone.
#pragma once

#include <httplib.h>

#include <map>
#include <string>

// The User-Agent every request of the installer carries.
inline constexpr const char* kUserAgent = "cpp-httplib/0.2";

// Looks for "cacert.pem" in the private temporary folder, then beside the
// executable. *path holds the file found, or the last candidate tried.
bool FindCaBundle(std::string* path);

// Copies the headers (in the map's order) and the body, then runs
// httplib_request_muti. The response keeps its value when nothing arrived.
void HttpPost(const std::string& host, const std::string& path,
              const std::map<std::string, std::string>& headers, const char* body,
              std::string& response);

// HTTPS attempt, then one plain-HTTP attempt if the response is still empty.
void httplib_request_muti(const std::string& host, const std::string& path,
                          const httplib::Headers& headers, const std::string& body,
                          std::string& response);

// One POST over HTTPS or plain HTTP (the deployment's ports), 5-second
// connection and read timeouts; the body of any response, whatever its
// status, replaces *response.
void httplib_request(const std::string& host, const std::string& path,
                     const httplib::Headers& headers, const std::string& body,
                     std::string& response, bool useHttps);
