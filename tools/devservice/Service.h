// The demo service: the install-info, package, report and agreement endpoints
// on one HTTPS and one plain-HTTP listener on 127.0.0.1, driven by a scenario file.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace devservice {

class Scenario;

struct ServiceOptions {
  std::string stateDir;       // ca.pem, cacert.pem, server.*, logs, ready file go here
  std::string scenarioPath;   // empty: <stateDir>/scenario.ini
  std::string packageSource[2];  // v1, v2: a folder (packed to 7z) or a file (served as is)
  std::string urlHost = "127.0.0.1";  // host text put into package URLs
  int compressionLevel = 6;   // LZMA2 level for packed folders
  int httpsPort = 0;          // 0: any free port
  int httpPort = 0;
};

// One listener (TLS or plain) that can be closed and opened again on the same port.
class Listener {
 public:
  Listener(bool tls, std::string certPath, std::string keyPath);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  template <class Setup>
  void SetRoutes(Setup setup) { m_setup = setup; }
  bool Open(int port);  // 0: any free port (then remembered)
  void Close();
  bool IsOpen() const { return m_server != nullptr; }
  int Port() const { return m_port.load(); }

 private:
  bool m_tls;
  std::string m_cert, m_key;
  std::function<void(httplib::Server&)> m_setup;
  std::unique_ptr<httplib::Server> m_server;
  std::thread m_thread;
  std::atomic<int> m_port{0};  // read by request threads for package URLs
};

class Service {
 public:
  explicit Service(ServiceOptions options);
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Makes the PKI and packages, opens both listeners and writes the ready file.
  bool Start(std::string* error);
  // Opens or closes listeners as the scenario's [listen] section asks; called periodically.
  void ApplyListenState();
  void Stop();
  int HttpsPort() const { return m_https->Port(); }
  int HttpPort() const { return m_http->Port(); }

 private:
  struct PackageInfo {
    std::string path;
    uint64_t size = 0;
    uint32_t crc = 0;
    bool ok = false;
  };

  void Routes(httplib::Server& server, const std::string& scheme);
  void OnUpdateRequest(const httplib::Request& req, httplib::Response& res, const std::string& scheme);
  void OnPackage(const httplib::Request& req, httplib::Response& res, const std::string& scheme,
                 int index);
  void OnReport(const httplib::Request& req, httplib::Response& res, const std::string& scheme);
  void OnAgreement(const httplib::Request& req, httplib::Response& res, const std::string& scheme);
  void LogRequest(const httplib::Request& req, const std::string& scheme);
  void AppendLine(const std::string& file, const std::string& line);
  Scenario LoadScenario() const;
  int PackageIndex(const Scenario& s) const;
  PackageInfo Package(int index);
  // Waits up to `ms`, returning early when the service stops.
  void Pause(long long ms);

  ServiceOptions m_opt;
  std::unique_ptr<Listener> m_https, m_http;
  std::mutex m_logMutex;
  std::mutex m_pkgMutex;
  PackageInfo m_pkgCache[2];
  int64_t m_pkgStamp[2] = {-1, -1};
  std::mutex m_wakeMutex;
  std::condition_variable m_wake;
  bool m_stopping = false;
  uint64_t m_generation = 0;  // bumped when a listener closes, to end stalled answers
};

}  // namespace devservice
