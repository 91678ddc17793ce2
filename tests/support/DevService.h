// Starts the built demo service (tools/devservice) as a child process for a
// test, and reads back what it recorded: requests, reports, its CA and ports.
#pragma once

#include <json/json.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

struct DevServiceConfig {
  std::string package;    // v1 package: a folder (packed to 7z) or a file; empty = none
  std::string packageV2;  // v2 package, same forms
  std::string scenario;   // scenario INI text written before the start; empty = defaults
  int httpsPort = 0;      // 0 = any free port
  int httpPort = 0;
  std::string urlHost;    // host text of the package URLs; empty = 127.0.0.1
  int startTimeoutMs = 20000;
};

class DevService {
 public:
  // stateDir receives the certificates, logs and scenario; it is created if missing.
  explicit DevService(std::string stateDir);
  ~DevService();
  DevService(const DevService&) = delete;
  DevService& operator=(const DevService&) = delete;

  // Starts the service and waits for its ports. False (see Error()) when the
  // binary is missing, it exits, or the ports do not come within the timeout.
  // The service ends when the calling thread ends, so start it from the test's
  // own thread. Declare the DevService after the ScratchEnv holding its folder.
  bool Start(const DevServiceConfig& config = DevServiceConfig());
  // SIGTERM, then SIGKILL after 5 s; returns the exit status (-1 if not running).
  int Stop();
  bool Running();

  int HttpsPort() const { return m_httpsPort; }
  int HttpPort() const { return m_httpPort; }
  const std::string& StateDir() const { return m_stateDir; }
  std::string CaPath() const { return m_stateDir + "/cacert.pem"; }
  std::string ScenarioPath() const { return m_stateDir + "/scenario.ini"; }
  // The archive served as package v1 (version 1) or v2 (version 2).
  std::string PackagePath(int version = 1) const;
  const std::string& Error() const { return m_error; }
  std::string Stderr() const;

  // Replaces the scenario atomically; the service reads it on its next request.
  bool WriteScenario(const std::string& ini);
  // Waits until the listeners follow a changed [listen] section (the service
  // applies it every 100 ms); false after timeoutMs.
  bool WaitListening(bool https, bool open, int timeoutMs = 5000) const;

  std::vector<Json::Value> Reports() const { return ReadJsonLines("reports.jsonl"); }
  std::vector<Json::Value> Requests() const { return ReadJsonLines("requests.jsonl"); }
  // Waits until at least `count` reports are logged; false after timeoutMs.
  bool WaitForReports(size_t count, int timeoutMs, std::vector<Json::Value>* out = nullptr) const;

  static std::string BinaryPath();

 private:
  std::vector<Json::Value> ReadJsonLines(const std::string& name) const;

  std::string m_stateDir;
  pid_t m_pid = -1;
  int m_httpsPort = 0;
  int m_httpPort = 0;
  std::string m_packages[2];
  std::string m_error;
};

// Whether something accepts TCP connections on 127.0.0.1:port.
bool PortOpen(int port);

}  // namespace testsupport
