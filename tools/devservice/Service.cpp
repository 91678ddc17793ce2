// Endpoint behaviour of the demo service; every answer is chosen by the scenario
// as it is on disk at the time of the request.
#include "tools/devservice/Service.h"

#include <httplib.h>
#include <json/json.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "tools/devservice/CertAuthority.h"
#include "tools/devservice/Package7z.h"
#include "tools/devservice/ReportCheck.h"
#include "tools/devservice/Scenario.h"

namespace devservice {
namespace {

namespace fs = std::filesystem;

const char kPackageName[] = "cloud_pc.7z";

std::string NowIso() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  long ms = static_cast<long>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm tm;
  gmtime_r(&t, &tm);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
  return buf;
}

std::string OneLine(const Json::Value& v) {
  Json::StreamWriterBuilder b;
  b["indentation"] = "";
  b["emitUTF8"] = true;
  return Json::writeString(b, v);
}

std::string Pretty(const Json::Value& v, const char* lineEnd) {
  Json::StreamWriterBuilder b;
  b["indentation"] = "  ";
  b["emitUTF8"] = true;
  std::string text = Json::writeString(b, v);
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += lineEnd;
    else
      out += c;
  }
  return out;
}

// A scenario value is JSON when it parses as JSON, else it is taken as a string.
Json::Value JsonOrString(const std::string& text) {
  Json::CharReaderBuilder b;
  b["failIfExtra"] = true;  // "2.0.1" is a string, not 2.0 and a rest
  std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  Json::Value v;
  std::string errs;
  if (!text.empty() && reader->parse(text.data(), text.data() + text.size(), &v, &errs)) return v;
  return Json::Value(text);
}

// Sets `name` in `obj` from the scenario value, "missing" leaves it out.
void SetMember(Json::Value& obj, const char* name, const std::string& text) {
  if (text == "missing") return;
  obj[name] = JsonOrString(text);
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (size_t pos = 0; (pos = s.find(from, pos)) != std::string::npos; pos += to.size())
    s.replace(pos, from.size(), to);
  return s;
}

std::string HtmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// Ends the exchange with no answer: headers of a chunked answer go out, then the
// connection closes before the first chunk, which a client reads as no response.
void CloseWithoutAnswer(httplib::Response& res) {
  res.set_chunked_content_provider("application/octet-stream",
                                   [](size_t, httplib::DataSink&) { return false; });
}

bool WriteAtomically(const std::string& path, const std::string& bytes) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!(f << bytes)) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace

// ---- Listener ----

Listener::Listener(bool tls, std::string certPath, std::string keyPath)
    : m_tls(tls), m_cert(std::move(certPath)), m_key(std::move(keyPath)) {}

Listener::~Listener() { Close(); }

bool Listener::Open(int port) {
  if (m_server) return true;
  std::unique_ptr<httplib::Server> server;
  if (m_tls)
    server = std::make_unique<httplib::SSLServer>(m_cert.c_str(), m_key.c_str());
  else
    server = std::make_unique<httplib::Server>();
  if (!server->is_valid()) return false;
  // No SO_REUSEPORT: a second service on a taken port must fail, not share it.
  server->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  if (m_setup) m_setup(*server);
  if (port == 0) port = m_port;
  if (port == 0) {
    port = server->bind_to_any_port("127.0.0.1");
    if (port <= 0) return false;
  } else if (!server->bind_to_port("127.0.0.1", port)) {
    return false;
  }
  m_port = port;
  httplib::Server* raw = server.get();
  m_thread = std::thread([raw] { raw->listen_after_bind(); });
  // stop() only takes effect once the accept loop runs, so wait for it.
  for (int i = 0; i < 500 && !raw->is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  m_server = std::move(server);
  return m_server->is_running();
}

void Listener::Close() {
  if (!m_server) return;
  m_server->stop();
  if (m_thread.joinable()) m_thread.join();
  m_server.reset();
}

// ---- Service ----

Service::Service(ServiceOptions options) : m_opt(std::move(options)) {
  if (m_opt.scenarioPath.empty()) m_opt.scenarioPath = m_opt.stateDir + "/scenario.ini";
  m_https = std::make_unique<Listener>(true, m_opt.stateDir + "/server.pem",
                                       m_opt.stateDir + "/server.key");
  m_http = std::make_unique<Listener>(false, "", "");
  m_https->SetRoutes([this](httplib::Server& s) { Routes(s, "https"); });
  m_http->SetRoutes([this](httplib::Server& s) { Routes(s, "http"); });
}

Service::~Service() { Stop(); }

bool Service::Start(std::string* error) {
  std::error_code ec;
  fs::create_directories(m_opt.stateDir, ec);
  TestPki pki;
  if (!MakePki(&pki) || !WritePkiFiles(pki, m_opt.stateDir) ||
      !WriteAtomically(m_opt.stateDir + "/cacert.pem", pki.caCertPem)) {
    *error = "cannot make the certificates in " + m_opt.stateDir;
    return false;
  }
  for (int i = 0; i < 2; ++i) {
    const std::string& src = m_opt.packageSource[i];
    if (src.empty()) continue;
    if (fs::is_directory(src, ec)) {
      const std::string out = m_opt.stateDir + "/package-v" + std::to_string(i + 1) + ".7z";
      std::string why;
      if (!Build7z(src, out, &why, m_opt.compressionLevel)) {
        *error = why;
        return false;
      }
      m_opt.packageSource[i] = out;
    } else if (!fs::is_regular_file(src, ec)) {
      *error = "package not found: " + src;
      return false;
    }
  }
  if (!m_https->Open(m_opt.httpsPort)) {
    *error = "cannot listen on HTTPS port " + std::to_string(m_opt.httpsPort);
    return false;
  }
  if (!m_http->Open(m_opt.httpPort)) {
    *error = "cannot listen on HTTP port " + std::to_string(m_opt.httpPort);
    return false;
  }
  ApplyListenState();
  const std::string line =
      "https=" + std::to_string(HttpsPort()) + " http=" + std::to_string(HttpPort()) + "\n";
  if (!WriteAtomically(m_opt.stateDir + "/ready", line)) {
    *error = "cannot write the ready file";
    return false;
  }
  return true;
}

void Service::ApplyListenState() {
  Scenario s = LoadScenario();
  struct { Listener* l; const char* key; } both[] = {{m_https.get(), "https"}, {m_http.get(), "http"}};
  for (auto& b : both) {
    bool want = s.Get("listen", b.key, "", "on") != "off";
    if (want && !b.l->IsOpen()) {
      if (!b.l->Open(0)) std::fprintf(stderr, "devservice: cannot reopen %s port\n", b.key);
    } else if (!want && b.l->IsOpen()) {
      {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        ++m_generation;
      }
      m_wake.notify_all();
      b.l->Close();
    }
  }
}

void Service::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_wakeMutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  if (m_https) m_https->Close();
  if (m_http) m_http->Close();
}

void Service::Pause(long long ms) {
  std::unique_lock<std::mutex> lock(m_wakeMutex);
  const uint64_t gen = m_generation;
  m_wake.wait_for(lock, std::chrono::milliseconds(ms),
                  [&] { return m_stopping || m_generation != gen; });
}

Scenario Service::LoadScenario() const { return Scenario::Load(m_opt.scenarioPath); }

int Service::PackageIndex(const Scenario& s) const {
  return s.Get("update", "package", "", "v1") == "v2" ? 1 : 0;
}

Service::PackageInfo Service::Package(int index) {
  std::lock_guard<std::mutex> lock(m_pkgMutex);
  PackageInfo& info = m_pkgCache[index];
  info.path = m_opt.packageSource[index];
  struct stat st;
  if (info.path.empty() || stat(info.path.c_str(), &st) != 0) {
    info.ok = false;
    m_pkgStamp[index] = -1;
    return info;
  }
  // Recomputed only when a served file changes under the service.
  const int64_t stamp = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec +
                        static_cast<int64_t>(st.st_size);
  if (stamp != m_pkgStamp[index] || !info.ok) {
    info.ok = FileCrc32(info.path, &info.crc, &info.size);
    m_pkgStamp[index] = info.ok ? stamp : -1;
  }
  return info;
}

void Service::AppendLine(const std::string& file, const std::string& line) {
  std::lock_guard<std::mutex> lock(m_logMutex);
  std::FILE* f = std::fopen((m_opt.stateDir + "/" + file).c_str(), "ab");
  if (!f) return;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fputc('\n', f);
  std::fclose(f);
}

void Service::LogRequest(const httplib::Request& req, const std::string& scheme) {
  Json::Value rec;
  rec["time"] = NowIso();
  rec["scheme"] = scheme;
  rec["method"] = req.method;
  rec["path"] = req.path;
  Json::Value params(Json::objectValue);
  for (const auto& p : req.params) params[p.first] = p.second;
  rec["query"] = params;
  Json::Value headers(Json::objectValue);
  for (const auto& h : req.headers) headers[h.first] = h.second;
  rec["headers"] = headers;
  rec["body"] = req.body;
  AppendLine("requests.jsonl", OneLine(rec));
}

void Service::Routes(httplib::Server& server, const std::string& scheme) {
  server.Post("/pc/UpdateRequest", [this, scheme](const httplib::Request& req, httplib::Response& res) {
    OnUpdateRequest(req, res, scheme);
  });
  server.Post(kReportPath, [this, scheme](const httplib::Request& req, httplib::Response& res) {
    OnReport(req, res, scheme);
  });
  server.Get("/pc/getAgreement", [this, scheme](const httplib::Request& req, httplib::Response& res) {
    OnAgreement(req, res, scheme);
  });
  server.Get(R"(/download/v([12])/cloud_pc\.7z)",
             [this, scheme](const httplib::Request& req, httplib::Response& res) {
               OnPackage(req, res, scheme, req.matches[1] == "2" ? 1 : 0);
             });
  server.Get("/person/cloud_pc.7z", [this, scheme](const httplib::Request& req, httplib::Response& res) {
    OnPackage(req, res, scheme, PackageIndex(LoadScenario()));
  });
  auto notFound = [this, scheme](const httplib::Request& req, httplib::Response& res) {
    LogRequest(req, scheme);
    res.status = 404;
    res.set_content("<html><body><h1>404 Not Found</h1></body></html>", "text/html");
  };
  server.Get(".*", notFound);
  server.Post(".*", notFound);
}

void Service::OnUpdateRequest(const httplib::Request& req, httplib::Response& res,
                              const std::string& scheme) {
  LogRequest(req, scheme);
  const Scenario s = LoadScenario();
  const std::string mode = s.Get("update", "mode", scheme, "ok");
  if (mode == "close") return CloseWithoutAnswer(res);
  res.status = static_cast<int>(s.GetInt("update", "status", scheme, 200));

  std::string body;
  if (s.Has("update", "body", scheme)) {
    body = Unescape(s.Get("update", "body", scheme, ""));
  } else {
    const int index = PackageIndex(s);
    const PackageInfo pkg = Package(index);
    Json::Value root(Json::objectValue);
    SetMember(root, "isSuccess", s.Get("update", "is_success", scheme, "true"));
    SetMember(root, "message", s.Get("update", "message", scheme, "success"));
    if (s.Has("update", "data", scheme)) {
      SetMember(root, "data", s.Get("update", "data", scheme, ""));
    } else {
      Json::Value data(Json::objectValue);
      SetMember(data, "state", s.Get("update", "state", scheme, "\"1\""));
      std::string url = s.Get("update", "url", scheme, "auto");
      if (url == "auto") url = "https://{host}:{https}/download/{package}/cloud_pc.7z";
      url = ReplaceAll(url, "{host}", m_opt.urlHost);
      url = ReplaceAll(url, "{https}", std::to_string(HttpsPort()));
      url = ReplaceAll(url, "{http}", std::to_string(HttpPort()));
      url = ReplaceAll(url, "{package}", index == 1 ? "v2" : "v1");
      data["downUrl"] = url;
      SetMember(data, "version", s.Get("update", "version", scheme, "\"1.0.0.1\""));
      const std::string size = s.Get("update", "size", scheme, "auto");
      if (size == "auto")
        data["size"] = std::to_string(pkg.ok ? pkg.size : 0);
      else
        SetMember(data, "size", size);
      const std::string crc = s.Get("update", "crc", scheme, "auto");
      if (crc == "auto")
        data["crc"] = std::to_string(pkg.ok ? pkg.crc : 0);
      else
        SetMember(data, "crc", crc);
      root["data"] = data;
    }
    if (mode == "lines")
      body = Pretty(root, "\r\n");
    else if (mode == "lf-lines")
      body = Pretty(root, "\n");
    else
      body = OneLine(root);
    if (mode == "crlf") body += "\r\n";
    if (mode == "malformed") body.pop_back();  // the closing brace
    if (mode == "empty") body.clear();
  }
  res.set_content(body, "application/json;charset=UTF-8");
}

void Service::OnPackage(const httplib::Request& req, httplib::Response& res,
                        const std::string& scheme, int index) {
  LogRequest(req, scheme);
  const Scenario s = LoadScenario();
  const PackageInfo pkg = Package(index);
  const std::string fault = s.Get("download", "fault", scheme, "none");
  if (!pkg.ok || fault == "404") {
    res.status = 404;
    res.set_content("<html><body><h1>404 Not Found</h1><p>No such package.</p></body></html>",
                    "text/html");
    return;
  }
  if (fault == "204") {
    res.status = 204;
    return;
  }
  if (fault == "html") {
    res.set_content(
        "<!DOCTYPE html><html><head><title>Maintenance</title></head>"
        "<body><p>The download service is under maintenance.</p></body></html>",
        "text/html");
    return;
  }
  const uint64_t size = pkg.size;
  uint64_t served = size;
  if (fault == "truncate" && served > 0) served -= 1;
  long long after = s.GetInt("download", "fault_after", scheme, static_cast<long long>(size / 2));
  if (after < 0) after = 0;
  const uint64_t cut = std::min<uint64_t>(static_cast<uint64_t>(after), served);
  const bool stall = fault == "stall", close = fault == "close";
  const long long stallMs = s.GetInt("download", "stall_seconds", scheme, 60) * 1000;
  const long long rate = s.GetInt("download", "rate", scheme, 0);  // bytes per second

  auto file = std::shared_ptr<std::FILE>(std::fopen(pkg.path.c_str(), "rb"), [](std::FILE* f) {
    if (f) std::fclose(f);
  });
  if (!file) {
    res.status = 500;
    return;
  }
  res.set_content_provider(
      served, "application/x-7z-compressed",
      [this, file, cut, stall, close, stallMs, rate](size_t offset, size_t length,
                                                     httplib::DataSink& sink) {
        if ((stall || close) && offset >= cut) {
          if (stall) Pause(stallMs);
          return false;
        }
        size_t want = std::min<size_t>(length, 64 * 1024);
        if (stall || close) want = std::min<size_t>(want, cut - offset);
        if (rate > 0) want = std::min<size_t>(want, std::max<long long>(1, rate / 10));
        std::vector<char> buf(want);
        if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) return false;
        size_t n = std::fread(buf.data(), 1, want, file.get());
        if (n == 0) return false;
        if (rate > 0) Pause(static_cast<long long>(n) * 1000 / rate);
        return sink.write(buf.data(), n);
      });
}

void Service::OnReport(const httplib::Request& req, httplib::Response& res,
                       const std::string& scheme) {
  LogRequest(req, scheme);
  const Scenario s = LoadScenario();
  const std::string sign = req.get_header_value("sign");
  const std::string projectId = req.get_header_value("projectId");
  const std::string businessId = req.get_header_value("businessId");
  const std::string expected = ReportSignature(req.body);

  std::string reason;
  if (!req.has_header("sign") || !req.has_header("projectId") || !req.has_header("businessId"))
    reason = "missing header";
  else if (projectId != kProjectId || businessId != kBusinessId)
    reason = "unknown project or business";
  else if (sign != expected)
    reason = "signature mismatch";
  const bool valid = reason.empty();

  const std::vector<std::string> cols = SplitColumns(req.body);
  Json::Value rec;
  rec["time"] = NowIso();
  rec["scheme"] = scheme;
  rec["valid"] = valid;
  rec["reason"] = reason;
  rec["sign"] = sign;
  rec["expectedSign"] = expected;
  rec["projectId"] = projectId;
  rec["businessId"] = businessId;
  rec["contentType"] = req.get_header_value("Content-Type");
  rec["body"] = req.body;
  Json::Value columns(Json::arrayValue);
  for (const auto& c : cols) columns.append(c);
  rec["columns"] = columns;
  rec["endsWithTab"] = !req.body.empty() && req.body.back() == '\t';
  auto col = [&](size_t i) { return i < cols.size() ? cols[i] : std::string(); };
  rec["localTime"] = col(0);
  rec["runId"] = col(1);
  rec["mac"] = col(2);
  rec["ip"] = col(5);
  rec["type"] = col(7);
  rec["text1"] = col(9);
  rec["text2"] = col(10);
  char* end = nullptr;
  const std::string code = col(8);
  long event = std::strtol(code.c_str(), &end, 10);
  if (!code.empty() && end && *end == '\0')
    rec["event"] = static_cast<Json::Int>(event);
  else
    rec["event"] = Json::Value(Json::nullValue);
  AppendLine("reports.jsonl", OneLine(rec));

  const std::string mode = s.Get("report", "mode", scheme, "ok");
  if (mode == "close") return CloseWithoutAnswer(res);
  if (mode == "empty") return;
  if (valid) {
    res.set_content("{\"code\":0,\"message\":\"success\"}", "application/json");
  } else {
    res.status = 403;
    res.set_content("{\"code\":403,\"message\":\"invalid sign\"}", "application/json");
  }
}

void Service::OnAgreement(const httplib::Request& req, httplib::Response& res,
                          const std::string& scheme) {
  LogRequest(req, scheme);
  if (!req.has_param("code")) {
    res.status = 400;
    res.set_content("<html><body><p>Missing agreement code.</p></body></html>", "text/html");
    return;
  }
  const std::string code = HtmlEscape(req.get_param_value("code"));
  const std::string channel = HtmlEscape(req.get_param_value("channel"));
  const std::string epcode = HtmlEscape(req.get_param_value("epcode"));
  res.set_content(
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>用户协议</title></head><body>"
      "<h1>用户协议</h1><p>Demo service agreement for the cloud-PC client.</p>"
      "<dl><dt>code</dt><dd id=\"code\">" + code + "</dd><dt>channel</dt><dd id=\"channel\">" +
          channel + "</dd><dt>epcode</dt><dd id=\"epcode\">" + epcode + "</dd></dl></body></html>",
      "text/html;charset=utf-8");
}

}  // namespace devservice
