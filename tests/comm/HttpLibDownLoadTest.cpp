// The download client: URL splitting, HTTPS first with the fallback only on
// no response, the local file, message boxes and the progress sink.
#include "comm/HttpLibDownLoad.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "comm/LoopbackService.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"

namespace {

using servicetest::LoopbackService;
using servicetest::Recorded;

struct SplitCase {
  const char* url;
  bool ok;
  const char* host;
  const char* path;
  UrlScheme scheme;
};

TEST(SplitUrlTest, Table) {
  const SplitCase cases[] = {
      {"https://h/a/b.7z?x=1", true, "h", "/a/b.7z?x=1", UrlScheme::Https},
      {"http://cdn.example/p.7z", true, "cdn.example", "/p.7z", UrlScheme::Http},
      {"https://h:8443/p", true, "h:8443", "/p", UrlScheme::Https},
      {"see https://h/p", true, "h", "/p", UrlScheme::Https},            // text before the marker dropped
      {"http://a/x?u=https://b/y", true, "b", "/y", UrlScheme::Https},  // "https://" wins wherever it is
      {"https://h", true, "h", "/", UrlScheme::Https},                 // nothing after the host
      {"https://h?x=1", true, "h", "/?x=1", UrlScheme::Https},
      {"ftp://h/p", false, "untouched", "untouched", UrlScheme::Unknown},
      {"HTTPS://h/p", false, "untouched", "untouched", UrlScheme::Unknown},
      {"", false, "untouched", "untouched", UrlScheme::Unknown},
  };
  for (const SplitCase& c : cases) {
    std::string host = "untouched";
    std::string path = "untouched";
    UrlScheme scheme = UrlScheme::Unknown;
    EXPECT_EQ(SplitUrl(c.url, host, path, &scheme), c.ok) << c.url;
    EXPECT_EQ(host, c.host) << c.url;
    EXPECT_EQ(path, c.path) << c.url;
    EXPECT_EQ(scheme, c.scheme) << c.url;
  }
}

// The sink is a plain function; it records into this list.
std::vector<std::pair<uint64_t, uint64_t>>* g_progress = nullptr;
int RecordProgress(uint64_t total, uint64_t received) {
  if (g_progress) g_progress->emplace_back(total, received);
  return 1;  // ignored: the download cannot be stopped from here
}

class HttpLibDownLoadTest : public servicetest::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    g_progress = &m_progress;
    platform::SetMessageBoxHandler([this](void*, const std::wstring& text, const std::wstring& caption, unsigned type) {
      m_boxes.push_back({text, caption, type});
      return IDOK;
    });
    m_file = m_env.Path("install/tmpClient");
    std::filesystem::create_directories(m_env.Path("install"));
  }
  void TearDown() override {
    platform::SetMessageBoxHandler(nullptr);
    g_progress = nullptr;
    ServiceTest::TearDown();
  }

  int Download(const std::string& url) {
    std::string host, path;
    UrlScheme scheme = UrlScheme::Unknown;
    EXPECT_TRUE(SplitUrl(url, host, path, &scheme)) << url;
    return httplib_down_muti(host.c_str(), path.c_str(), platform::Utf8ToWide(m_file).c_str(), &RecordProgress,
                             scheme);
  }
  std::string Url(const std::string& scheme, int port, const std::string& path) const {
    return scheme + "://127.0.0.1" + (port ? ":" + std::to_string(port) : std::string()) + path;
  }
  std::string FileText() const { return testsupport::ReadFile(m_file); }

  struct Box {
    std::wstring text, caption;
    unsigned type;
  };
  std::vector<Box> m_boxes;
  std::vector<std::pair<uint64_t, uint64_t>> m_progress;
  std::string m_file;
};

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 4096) & 0xff);
  return s;
}

TEST_F(HttpLibDownLoadTest, PackageArrivesWholeAndTheSinkSeesEveryBlock) {
  const std::string package = Pattern(3 * 1024 * 1024 + 123);
  const auto serve = [&](const httplib::Request& req, httplib::Response& res) {
    if (req.path == "/pkg/client.7z") res.set_content(package, "application/octet-stream");
  };
  m_service->OnHttps(serve);
  m_service->OnHttp(serve);
  // Over TLS the library receives; plain HTTP has its own receiving.
  for (const bool tls : {true, false}) {
    SCOPED_TRACE(tls ? "https" : "http");
    m_progress.clear();
    m_service->ClearRequests();
    PointDeployment(tls ? m_service->HttpsPort() : servicetest::ClosedPort(), m_service->HttpPort());
    testsupport::WriteFile(m_file, std::string(5 * 1024 * 1024, 'x'));  // an old, longer file is truncated
    EXPECT_EQ(Download(Url("https", 0, "/pkg/client.7z")), 0);
    EXPECT_TRUE(FileText() == package);

    const std::vector<Recorded> reqs = m_service->Requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].method, "GET");
    EXPECT_EQ(reqs[0].Header("User-Agent"), "cpp-httplib/0.2");

    ASSERT_GT(m_progress.size(), tls ? 10u : 2u);
    uint64_t last = 0;
    for (const auto& [total, received] : m_progress) {
      EXPECT_EQ(total, package.size());  // total first, running count second
      EXPECT_GT(received, last);
      last = received;
    }
    EXPECT_EQ(last, package.size());
    EXPECT_TRUE(m_boxes.empty());
  }
}

// One connection, answered with `answer` whatever the request; the socket is
// closed after it unless `hold` (then it stays silent until the end).
class RawServer {
 public:
  RawServer(std::string answer, bool hold) : m_answer(std::move(answer)), m_hold(hold) {
    m_listen = servicetest::BindLoopback(4, &m_port);
    if (pipe(m_release) != 0) m_release[0] = m_release[1] = -1;
    m_thread = std::thread([this] { Serve(); });
  }
  ~RawServer() {
    shutdown(m_listen, SHUT_RDWR);  // ends an accept that never got a client
    close(m_release[1]);            // ends a hold
    m_thread.join();
    close(m_release[0]);
    close(m_listen);
  }
  int Port() const { return m_port; }
  std::string Request() const { return m_request; }  // after the download returned

 private:
  void Serve() {
    const int fd = accept(m_listen, nullptr, nullptr);
    if (fd < 0) return;
    char buffer[4096];
    while (m_request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      m_request.append(buffer, static_cast<size_t>(n));
    }
    send(fd, m_answer.data(), m_answer.size(), MSG_NOSIGNAL);
    if (m_hold) {
      [[maybe_unused]] const ssize_t n = read(m_release[0], buffer, 1);
    }
    close(fd);
  }

  std::string m_answer;
  bool m_hold;
  int m_listen = -1;
  int m_port = 0;
  int m_release[2] = {-1, -1};
  std::string m_request;
  std::thread m_thread;
};

TEST_F(HttpLibDownLoadTest, PlainHttpKeepsWhatArrivedWhenTheBodyIsCutOrStalls) {
  const struct {
    const char* what;
    std::string answer;
    bool hold;
    std::string file;
  } cases[] = {
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\n7z!\r\n2\r\nok\r\n0\r\n\r\n", false,
       "7z!ok"},
      {"closed mid-body", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789", false, "0123456789"},
      {"stalled mid-body", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nabc", true, "abc"},
      {"garbage", "<html>no</html>", false, ""},
  };
  for (const auto& c : cases) {
    RawServer server(c.answer, c.hold);
    testsupport::WriteFile(m_file, "stale");
    const auto start = std::chrono::steady_clock::now();
    const std::string host = "127.0.0.1:" + std::to_string(server.Port());
    EXPECT_EQ(httplib_down_http(host.c_str(), "/p 1.7z", platform::Utf8ToWide(m_file).c_str(), nullptr,
                                UrlScheme::Http),
              0)
        << c.what;
    EXPECT_EQ(FileText(), c.file) << c.what;  // the package check rejects what is short
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << c.what;
    EXPECT_EQ(server.Request().rfind("GET /p%201.7z HTTP/1.1\r\n", 0), 0u) << server.Request();
  }
}

TEST_F(HttpLibDownLoadTest, HttpUrlIsStillFetchedOverHttpsFirst) {
  m_service->OnHttps([](const httplib::Request&, httplib::Response& res) { res.set_content("tls", "text/plain"); });
  EXPECT_EQ(Download(Url("http", 0, "/p.7z")), 0);
  EXPECT_EQ(FileText(), "tls");
  EXPECT_EQ(m_service->CountScheme(true), 1);
  EXPECT_EQ(m_service->CountScheme(false), 0);
}

TEST_F(HttpLibDownLoadTest, ErrorPageIsWrittenAndCountsAsATransfer) {
  m_service->OnHttps([](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("no such package", "text/plain");
  });
  EXPECT_EQ(Download(Url("https", 0, "/missing.7z")), 0);
  EXPECT_EQ(FileText(), "no such package");
  EXPECT_EQ(m_service->CountScheme(false), 0);
  EXPECT_EQ(m_log->Count("https down load  turn to http"), 0);
}

TEST_F(HttpLibDownLoadTest, NoHttpsResponseFallsBackToHttp) {
  PointDeployment(servicetest::ClosedPort(), m_service->HttpPort());
  m_service->OnHttp([](const httplib::Request&, httplib::Response& res) { res.set_content("plain", "text/plain"); });
  EXPECT_EQ(Download(Url("https", 0, "/p.7z")), 0);
  EXPECT_EQ(FileText(), "plain");
  EXPECT_EQ(m_log->Count("https down load  turn to http"), 1);
}

TEST_F(HttpLibDownLoadTest, BothUnreachableGiveZeroAndAnEmptyFile) {
  PointDeployment(servicetest::ClosedPort(), servicetest::ClosedPort());
  testsupport::WriteFile(m_file, "stale");
  EXPECT_EQ(Download(Url("https", 0, "/p.7z")), 0);
  EXPECT_TRUE(std::filesystem::exists(m_file));
  EXPECT_EQ(std::filesystem::file_size(m_file), 0u);
  EXPECT_TRUE(m_boxes.empty());
}

TEST_F(HttpLibDownLoadTest, MissingCaBundleIsLoggedAndVerificationStillFails) {
  RemoveCaBundle();
  m_service->OnHttp([](const httplib::Request&, httplib::Response& res) { res.set_content("plain", "text/plain"); });
  EXPECT_EQ(Download(Url("https", 0, "/p.7z")), 0);
  EXPECT_EQ(FileText(), "plain");
  EXPECT_EQ(m_service->CountScheme(true), 0);
  EXPECT_EQ(m_log->Count("can not find cacert file"), 1);
  EXPECT_EQ(m_log->Count("https down load  turn to http"), 1);
}

TEST_F(HttpLibDownLoadTest, UnwritableFileGivesOneBoxAndNoTraffic) {
  testsupport::WriteFile(m_env.Path("afile"), "x");
  const struct {
    std::string file;
    int err;
  } cases[] = {{m_env.Path("no/such/folder/tmpClient"), ENOENT}, {m_env.Path("afile/tmpClient"), ENOTDIR}};
  for (const auto& c : cases) {
    m_boxes.clear();
    const std::wstring file = platform::Utf8ToWide(c.file);
    EXPECT_EQ(httplib_down_muti("127.0.0.1", "/p.7z", file.c_str(), &RecordProgress), -1) << c.file;
    ASSERT_EQ(m_boxes.size(), 1u) << c.file;
    const std::string expected =
        "open file write failed errno:" + std::to_string(c.err) + " get last err:" + std::to_string(c.err);
    EXPECT_EQ(platform::WideToUtf8(m_boxes[0].text), expected);
    EXPECT_EQ(m_boxes[0].caption, L"错误");
    EXPECT_EQ(m_boxes[0].type & 0xF0, MB_ICONERROR);
  }
  EXPECT_TRUE(m_service->Requests().empty());
}

TEST_F(HttpLibDownLoadTest, PlainDownloadWithoutPathShowsPathIsEmpty) {
  EXPECT_EQ(httplib_down_http("", "", L"", nullptr), -1);
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].text, L"path is empty");
  EXPECT_EQ(m_boxes[0].caption, L"错误");
}

TEST_F(HttpLibDownLoadTest, UnsplittableUrlRouteReachesNoServerAndReturnsZero) {
  // What the pipeline does when the URL does not split: an empty host and path.
  EXPECT_EQ(httplib_down_http("", "", platform::Utf8ToWide(m_file).c_str(), nullptr), 0);
  EXPECT_EQ(std::filesystem::file_size(m_file), 0u);
  EXPECT_TRUE(m_service->Requests().empty());
}

TEST_F(HttpLibDownLoadTest, PortInTheUrlAppliesToItsOwnScheme) {
  m_service->OnHttps([](const httplib::Request&, httplib::Response& res) { res.set_content("tls", "text/plain"); });
  m_service->OnHttp([](const httplib::Request&, httplib::Response& res) { res.set_content("plain", "text/plain"); });
  const int closed = servicetest::ClosedPort();

  // https URL with the service's port; the deployment's HTTPS port is closed.
  PointDeployment(closed, closed);
  EXPECT_EQ(Download(Url("https", m_service->HttpsPort(), "/p.7z")), 0);
  EXPECT_EQ(FileText(), "tls");

  // http URL with the service's HTTP port: HTTPS uses the deployment's port, not the URL's.
  PointDeployment(closed, closed);
  EXPECT_EQ(Download(Url("http", m_service->HttpPort(), "/p.7z")), 0);
  EXPECT_EQ(FileText(), "plain");
  PointDeployment(m_service->HttpsPort(), closed);
  EXPECT_EQ(Download(Url("http", m_service->HttpPort(), "/p.7z")), 0);
  EXPECT_EQ(FileText(), "tls");
}

TEST_F(HttpLibDownLoadTest, UrlWithNothingAfterTheHostFetchesTheRoot) {
  EXPECT_EQ(Download("https://127.0.0.1"), 0);
  ASSERT_EQ(m_service->Requests().size(), 1u);
  EXPECT_EQ(m_service->Requests()[0].path, "/");
}

}  // namespace
