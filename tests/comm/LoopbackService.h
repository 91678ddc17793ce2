// Test fixtures for the service side: an HTTPS and an HTTP server on
// 127.0.0.1 with a CA made at run time, the deployment pointed at them, the
// CA bundle where start-up puts it, and a log capture.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Log.h"
#include "comm/Deployment.h"
#include "platform/TempFolder.h"
#include "support/ScratchEnv.h"
#include "tools/devservice/CertAuthority.h"

namespace servicetest {

struct Recorded {
  bool https = false;
  std::string method;
  std::string path;
  httplib::Headers headers;
  std::string body;

  std::string Header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
};

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

// Answers 200 "ok" unless a test installs its own handler for a scheme.
class LoopbackService {
 public:
  // kind: which certificate the HTTPS server presents.
  enum class Cert { ChainsToCa, SelfSigned };

  explicit LoopbackService(const std::string& dir, Cert cert = Cert::ChainsToCa) {
    devservice::TestPki pki;
    m_ok = devservice::MakePki(&m_pki);
    if (cert == Cert::SelfSigned) {
      m_ok = m_ok && devservice::MakeSelfSigned(&pki);
    } else {
      pki = m_pki;
    }
    m_ok = m_ok && devservice::WritePkiFiles(pki, dir);
    if (!m_ok) return;
    m_https = std::make_unique<httplib::SSLServer>((dir + "/server.pem").c_str(), (dir + "/server.key").c_str());
    m_http = std::make_unique<httplib::Server>();
    Route(*m_https, true);
    Route(*m_http, false);
    m_httpsPort = m_https->bind_to_any_port("127.0.0.1");
    m_httpPort = m_http->bind_to_any_port("127.0.0.1");
    m_ok = m_httpsPort > 0 && m_httpPort > 0;
    if (!m_ok) return;
    m_threads.emplace_back([this] { m_https->listen_after_bind(); });
    m_threads.emplace_back([this] { m_http->listen_after_bind(); });
    // The sockets already listen; waiting only keeps the first request off a cold start.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((!m_https->is_running() || !m_http->is_running()) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  ~LoopbackService() {
    if (m_https) m_https->stop();
    if (m_http) m_http->stop();
    for (std::thread& t : m_threads) t.join();
  }

  LoopbackService(const LoopbackService&) = delete;
  LoopbackService& operator=(const LoopbackService&) = delete;

  bool Ok() const { return m_ok; }
  int HttpsPort() const { return m_httpsPort; }
  int HttpPort() const { return m_httpPort; }
  // The CA that signs the server certificate (also when it presents a self-signed one).
  const std::string& CaPem() const { return m_pki.caCertPem; }

  void OnHttps(Handler h) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_httpsHandler = std::move(h);
  }
  void OnHttp(Handler h) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_httpHandler = std::move(h);
  }

  std::vector<Recorded> Requests() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_requests;
  }
  void ClearRequests() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_requests.clear();
  }
  int CountScheme(bool https) const {
    int n = 0;
    for (const Recorded& r : Requests()) n += r.https == https ? 1 : 0;
    return n;
  }

 private:
  void Route(httplib::Server& server, bool https) {
    auto handle = [this, https](const httplib::Request& req, httplib::Response& res) {
      Handler h;
      {
        std::lock_guard<std::mutex> lock(m_lock);
        m_requests.push_back(Recorded{https, req.method, req.path + (req.params.empty() ? "" : Query(req)),
                                      req.headers, req.body});
        h = https ? m_httpsHandler : m_httpHandler;
      }
      if (h) {
        h(req, res);
      } else {
        res.set_content("ok", "text/plain");
      }
    };
    server.Post(".*", handle);
    server.Get(".*", handle);
  }

  static std::string Query(const httplib::Request& req) {
    std::string q;
    for (const auto& [k, v] : req.params) q += (q.empty() ? "?" : "&") + k + "=" + v;
    return q;
  }

  bool m_ok = false;
  devservice::TestPki m_pki;
  std::unique_ptr<httplib::SSLServer> m_https;
  std::unique_ptr<httplib::Server> m_http;
  int m_httpsPort = 0;
  int m_httpPort = 0;
  std::vector<std::thread> m_threads;
  mutable std::mutex m_lock;
  Handler m_httpsHandler;
  Handler m_httpHandler;
  std::vector<Recorded> m_requests;
};

// A TCP socket bound to a free loopback port, listening when `backlog` > 0.
// -1 on failure; the port is written to *port.
inline int BindLoopback(int backlog, int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof(addr);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      (backlog > 0 && listen(fd, backlog) != 0) ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

// A loopback port where nothing listens (bound once, then released).
inline int ClosedPort() {
  int port = 0;
  const int fd = BindLoopback(0, &port);
  if (fd >= 0) close(fd);
  return port;
}

// A listening socket that never accepts: connections complete, nothing answers.
class SilentListener {
 public:
  SilentListener() { m_fd = BindLoopback(8, &m_port); }
  ~SilentListener() {
    if (m_fd >= 0) close(m_fd);
  }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int Port() const { return m_port; }

 private:
  int m_fd = -1;
  int m_port = 0;
};

// The log of the code under test, written into a folder of its own.
class LogCapture {
 public:
  explicit LogCapture(const std::string& dir) : m_dir(dir) {
    std::filesystem::create_directories(dir);
    CLogger::Instance().SetOutputs(2);
    CLogger::Instance().SetLevelMask(0x7F);
    SetLogDir(std::wstring(dir.begin(), dir.end()));
  }
  std::string Text() const {
    std::string all;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
      std::ifstream f(entry.path(), std::ios::binary);
      std::stringstream ss;
      ss << f.rdbuf();
      all += ss.str();
    }
    return all;
  }
  int Count(const std::string& text) const {
    const std::string all = Text();
    int n = 0;
    for (size_t pos = all.find(text); pos != std::string::npos; pos = all.find(text, pos + 1)) ++n;
    return n;
  }

 private:
  std::string m_dir;
};

// Scratch HOME, a running loopback service, the deployment pointed at it
// and the test CA written as cacert.pem into the private temporary folder.
class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_service = std::make_unique<LoopbackService>(m_env.Path("pki"), ServerCert());
    ASSERT_TRUE(m_service->Ok());
    m_log = std::make_unique<LogCapture>(m_env.Path("log"));
    WriteCaBundle(m_service->CaPem());
    PointDeployment(m_service->HttpsPort(), m_service->HttpPort());
  }
  void TearDown() override {
    m_service.reset();
    ResetDeploymentForTest();
  }
  virtual LoopbackService::Cert ServerCert() const { return LoopbackService::Cert::ChainsToCa; }

  void PointDeployment(int httpsPort, int httpPort) {
    DeploymentValues v;
    v.apiHost = v.reportHost = v.downloadHost = "127.0.0.1";
    v.httpsPort = httpsPort;
    v.httpPort = httpPort;
    SetDeploymentForTest(v);
  }
  std::string CaBundlePath() const { return platform::TempFolderA() + "cacert.pem"; }
  void WriteCaBundle(const std::string& pem) { testsupport::WriteFile(CaBundlePath(), pem); }
  void RemoveCaBundle() { std::filesystem::remove(CaBundlePath()); }

  testsupport::ScratchEnv m_env;
  std::unique_ptr<LoopbackService> m_service;
  std::unique_ptr<LogCapture> m_log;
};

}  // namespace servicetest
