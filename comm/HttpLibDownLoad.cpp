// The package download: HTTPS then plain HTTP, into a buffered local file.
#include "comm/HttpLibDownLoad.h"

#include <httplib.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "app/Log.h"
#include "comm/Deployment.h"
#include "comm/HttpLibRequest.h"
#include "comm/HttpResponseReader.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "platform/TcpConnection.h"
#include "platform/Text.h"
#include "platform/WinTypes.h"

namespace {

constexpr time_t kConnectTimeoutSeconds = 300;
constexpr time_t kReadTimeoutSeconds = 5;
// Received data goes into chunks that a writer thread puts into the file, so
// receiving never waits for the page cache. The TLS library's 4 KiB pieces are
// copied in; plain HTTP receives straight into the chunk. The writer writes
// 64 KiB at a time (on an idle machine 16 KiB gave 0.87 of curl, 64 KiB 0.91,
// 256 KiB 0.66; see docs/platform.md).
constexpr size_t kChunkSize = 256 * 1024;
constexpr size_t kMaxChunks = 16;
constexpr size_t kWriteSize = 64 * 1024;
const wchar_t kErrorCaption[] = L"错误";

// The local file, opened "wb+"; written behind the receiving thread, closed
// (after every byte handed over is written) on destruction.
class DownloadFile {
 public:
  explicit DownloadFile(const wchar_t* path) {
    const std::string name = platform::WideToUtf8(path);
    m_file = std::fopen(name.c_str(), "wb+");
    m_errno = errno;
  }
  ~DownloadFile() {
    if (!m_file) return;
    {
      std::unique_lock<std::mutex> lock(m_lock);
      if (m_current && m_current->used > 0) m_full.push_back(std::move(m_current));
      m_closing = true;
    }
    m_wake.notify_all();
    if (m_writer.joinable()) {
      m_writer.join();
    } else {
      for (auto& chunk : m_full) WriteOut(*chunk);
    }
    std::fclose(m_file);
  }
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  bool IsOpen() const { return m_file != nullptr; }
  int OpenErrno() const { return m_errno; }

  // Receiving thread only. A short write is not detected here; the package
  // check after the download rejects a damaged file.
  void Write(const char* data, size_t length) {
    while (length > 0) {
      size_t room = 0;
      char* into = Room(&room);
      if (!into) {
        WriteAll(data, length);  // no writer thread: write in place
        return;
      }
      const size_t n = std::min(length, room);
      std::memcpy(into, data, n);
      Commit(n);
      data += n;
      length -= n;
    }
  }

  // Receiving thread only: free space at the end of the current chunk, to
  // receive into directly and then Commit. Null without a writer thread.
  char* Room(size_t* size) {
    if (!m_current && !TakeChunk()) return nullptr;
    *size = kChunkSize - m_current->used;
    return m_current->data.get() + m_current->used;
  }
  void Commit(size_t length) {
    m_current->used += length;
    if (m_current->used < kChunkSize) return;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_full.push_back(std::move(m_current));
    }
    m_wake.notify_all();
  }

 private:
  struct Chunk {
    std::unique_ptr<char[]> data = std::make_unique<char[]>(kChunkSize);
    size_t used = 0;
  };

  // A free chunk into m_current, waiting for the writer when all are in use.
  bool TakeChunk() {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_writer.joinable() && !m_writerFailed) {
      try {
        m_writer = std::thread([this] { WriterLoop(); });
      } catch (const std::system_error&) {
        m_writerFailed = true;
      }
    }
    if (m_writerFailed) return false;
    if (m_free.empty() && m_allocated < kMaxChunks) {
      m_free.push_back(std::make_unique<Chunk>());
      ++m_allocated;
    }
    m_wake.wait(lock, [this] { return !m_free.empty(); });
    m_current = std::move(m_free.back());
    m_free.pop_back();
    m_current->used = 0;
    return true;
  }

  void WriterLoop() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
      m_wake.wait(lock, [this] { return !m_full.empty() || m_closing; });
      if (m_full.empty()) return;  // closing and drained
      std::unique_ptr<Chunk> chunk = std::move(m_full.front());
      m_full.pop_front();
      lock.unlock();
      WriteOut(*chunk);
      lock.lock();
      m_free.push_back(std::move(chunk));
      m_wake.notify_all();
    }
  }

  void WriteOut(const Chunk& chunk) { WriteAll(chunk.data.get(), chunk.used); }

  void WriteAll(const char* data, size_t length) {
    const int fd = fileno(m_file);
    while (length > 0) {
      const ssize_t n = ::write(fd, data, std::min(length, kWriteSize));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      data += n;
      length -= static_cast<size_t>(n);
    }
  }

  FILE* m_file = nullptr;
  int m_errno = 0;
  std::unique_ptr<Chunk> m_current;  // receiving thread only
  std::mutex m_lock;
  std::condition_variable m_wake;
  std::deque<std::unique_ptr<Chunk>> m_full;
  std::vector<std::unique_ptr<Chunk>> m_free;
  size_t m_allocated = 0;
  bool m_closing = false;
  bool m_writerFailed = false;
  std::thread m_writer;
};

void ShowError(const std::wstring& text) {
  platform::MessageBoxW(nullptr, text, kErrorCaption, MB_OK | MB_ICONERROR);
}

void ReportOpenFailure(int err) {
  char buffer[256] = {};
  // There is no separate "last error" here: errno is the system's code too.
  std::snprintf(buffer, sizeof(buffer), "open file write failed errno:%d get last err:%d", err, err);
  const std::wstring text = platform::Utf8ToWide(buffer);
  platform::OutputDebugStringW(text);
  ShowError(text);
}

struct Endpoint {
  std::string host;
  int port = 0;
};

// "h:8443" -> h, 8443 when the URL's scheme matches (or is unknown);
// otherwise the deployment's port for the scheme being tried.
Endpoint ResolveEndpoint(const char* hostText, bool https, UrlScheme scheme) {
  Endpoint ep;
  ep.host = hostText ? hostText : "";
  ep.port = https ? GetHttpsPort() : GetHttpPort();
  std::string name = ep.host;
  std::string portText;
  if (!name.empty() && name[0] == '[') {
    const size_t close = name.find(']');
    if (close == std::string::npos) return ep;
    if (close + 1 < name.size()) {
      if (name[close + 1] != ':') return ep;
      portText = name.substr(close + 2);
    }
    name = name.substr(1, close - 1);
  } else {
    const size_t colon = name.rfind(':');
    if (colon == std::string::npos || name.find(':') != colon) return ep;
    portText = name.substr(colon + 1);
    name = name.substr(0, colon);
  }
  ep.host = name;
  if (portText.empty()) return ep;
  int port = 0;
  for (char c : portText) {
    if (c < '0' || c > '9' || port > 65535) return Endpoint{hostText, ep.port};
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) return Endpoint{hostText, ep.port};
  const bool applies = scheme == UrlScheme::Unknown || (scheme == UrlScheme::Https) == https;
  if (applies) ep.port = port;
  return ep;
}

// Hands progress to the caller's sink and notes each new percentage.
class ProgressNotes {
 public:
  explicit ProgressNotes(DownloadProgressFn progress) : m_progress(progress) {}
  void operator()(uint64_t received, uint64_t total) {
    if (m_progress) m_progress(total, received);
    const int percent = total ? static_cast<int>(received * 100 / total) : 0;
    if (percent != m_lastPercent) {
      m_lastPercent = percent;
      platform::OutputDebugStringW(L"download " + std::to_wstring(received) + L"/" + std::to_wstring(total));
    }
  }

 private:
  DownloadProgressFn m_progress;
  int m_lastPercent = -1;
};

// Runs the GET into the file; true when a response arrived.
bool FetchHttps(httplib::SSLClient& client, const char* path, DownloadFile& file, DownloadProgressFn progress) {
  client.set_read_timeout(kReadTimeoutSeconds, 0);
  client.set_follow_location(false);
  const httplib::Headers headers = {{"User-Agent", kUserAgent}};
  ProgressNotes notes(progress);
  httplib::Result res = client.Get(
      path && path[0] ? path : "/", headers,
      [&file](const char* data, size_t length) {
        file.Write(data, length);
        return true;
      },
      [&notes](uint64_t received, uint64_t total) {
        notes(received, total);
        return true;
      });
  return static_cast<bool>(res);
}

// Plain HTTP reads the socket itself, in pieces of up to 256 KiB: the
// library's 4 KiB reads cost a system call each, which on loopback is most of
// the transfer's time.
bool FetchHttp(const Endpoint& ep, const char* path, DownloadFile& file, DownloadProgressFn progress) {
  platform::TcpConnection connection;
  if (!connection.Connect(ep.host, ep.port, static_cast<int>(kConnectTimeoutSeconds))) return false;
  connection.SetTimeout(static_cast<int>(kReadTimeoutSeconds));
  const std::string request = BuildHttpGetRequest(ep.host, ep.port, path ? path : "", kUserAgent);
  if (!connection.WriteAll(request.data(), request.size())) return false;
  ProgressNotes notes(progress);
  HttpBodyBuffer direct;
  direct.room = [&file](size_t* size) { return file.Room(size); };
  direct.commit = [&file](size_t length) {
    file.Commit(length);
    return true;
  };
  const HttpReadResult result = ReadHttpResponse(
      [&connection](char* buffer, size_t size) { return connection.Read(buffer, size); },
      [&file](const char* data, size_t length) {
        file.Write(data, length);
        return true;
      },
      [&notes](uint64_t received, uint64_t total) { notes(received, total); }, nullptr, &direct);
  return result == HttpReadResult::kComplete;
}

}  // namespace

bool SplitUrl(const std::string& url, std::string& host, std::string& path, UrlScheme* scheme) {
  UrlScheme found = UrlScheme::Https;
  size_t marker = url.find("https://");
  size_t markerLength = 8;
  if (marker == std::string::npos) {
    marker = url.find("http://");
    markerLength = 7;
    found = UrlScheme::Http;
  }
  if (marker == std::string::npos) return false;
  const std::string rest = url.substr(marker + markerLength);
  const size_t slash = rest.find('/');
  const size_t query = rest.find('?');
  if (slash != std::string::npos && (query == std::string::npos || slash < query)) {
    host = rest.substr(0, slash);
    path = rest.substr(slash);
  } else if (query != std::string::npos) {
    host = rest.substr(0, query);
    path = "/" + rest.substr(query);
  } else {
    host = rest;
    path = "/";
  }
  if (scheme) *scheme = found;
  return true;
}

int httplib_down_muti(const char* host, const char* path, const wchar_t* localFile,
                      DownloadProgressFn progress, UrlScheme scheme) {
  std::string caFile;
  if (!FindCaBundle(&caFile)) {
    // Verification still runs, against the missing file, and fails.
    LogWrite(Error, L"comm\\HttpLibDownLoad", __LINE__, L"httplib_down_muti", L"can not find cacert file");
  }
  int result = httplib_down_https(host, path, localFile, caFile.c_str(), progress, scheme);
  if (result == kDownNoResponse) {
    LogWrite(Info, L"comm\\HttpLibDownLoad", __LINE__, L"httplib_down_muti", L"https down load  turn to http");
    result = httplib_down_http(host, path, localFile, progress, scheme);
  }
  return result;
}

int httplib_down_https(const char* host, const char* path, const wchar_t* localFile,
                       const char* caFile, DownloadProgressFn progress, UrlScheme scheme) {
  DownloadFile file(localFile ? localFile : L"");
  if (!file.IsOpen()) {
    ReportOpenFailure(file.OpenErrno());
    return kDownFileError;
  }
  const Endpoint ep = ResolveEndpoint(host, true, scheme);
  if (ep.host.empty()) return kDownNoResponse;  // the resolver would take "" for this machine
  httplib::SSLClient client(ep.host, ep.port);
  client.set_connection_timeout(kConnectTimeoutSeconds, 0);
  if (caFile) client.set_ca_cert_path(caFile);
  client.enable_server_certificate_verification(true);
  return FetchHttps(client, path, file, progress) ? kDownOk : kDownNoResponse;
}

int httplib_down_http(const char* host, const char* path, const wchar_t* localFile,
                      DownloadProgressFn progress, UrlScheme scheme) {
  if (!localFile || localFile[0] == 0) {
    ShowError(L"path is empty");
    return kDownFileError;
  }
  DownloadFile file(localFile);
  if (!file.IsOpen()) {
    ReportOpenFailure(file.OpenErrno());
    return kDownFileError;
  }
  const Endpoint ep = ResolveEndpoint(host, false, scheme);
  if (ep.host.empty()) return kDownOk;  // nothing to reach; the file stays empty
  FetchHttp(ep, path, file, progress);
  return kDownOk;
}
