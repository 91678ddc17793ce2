// Download throughput of httplib_down_muti against curl, over HTTP and HTTPS,
// from loopback servers in this process. Rounds alternate (ours, curl, ours,
// curl ...), each run starting after `sync; sleep 3`, and every output is
// compared with the source before its figure counts.
//
//   bench_download [--size-mib N] [--rounds N] [--dir D] [--proto http|https|both]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "app/Log.h"
#include "comm/Deployment.h"
#include "comm/HttpLibDownLoad.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "tools/devservice/CertAuthority.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  size_t sizeMiB = 512;
  int rounds = 5;
  std::string dir;
  std::string proto = "both";  // http, https or both
};

bool Run(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

void Settle() {
  sync();
  std::this_thread::sleep_for(std::chrono::seconds(3));
}

bool MakeSource(const std::string& path, size_t bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  std::mt19937_64 rng(512);
  std::vector<uint64_t> block(1 << 17);  // 1 MiB
  for (size_t done = 0; done < bytes; done += sizeof(uint64_t) * block.size()) {
    for (uint64_t& v : block) v = rng();
    const size_t n = std::min(bytes - done, sizeof(uint64_t) * block.size());
    f.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
  }
  return static_cast<bool>(f);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--size-mib") opt.sizeMiB = std::strtoul(argv[i + 1], nullptr, 10);
    else if (a == "--rounds") opt.rounds = std::atoi(argv[i + 1]);
    else if (a == "--dir") opt.dir = argv[i + 1];
    else if (a == "--proto") opt.proto = argv[i + 1];
  }
  if (opt.dir.empty()) {
    char tmpl[] = "/tmp/bench-download-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    opt.dir = tmpl;
  }
  std::filesystem::create_directories(opt.dir);
  // A private temporary folder of its own, not the user's.
  const std::string runtime = opt.dir + "/runtime";
  mkdir(runtime.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  const std::string source = opt.dir + "/package.7z";
  const std::string out = opt.dir + "/tmpClient";
  const size_t bytes = opt.sizeMiB << 20;
  std::printf("source %zu MiB in %s\n", opt.sizeMiB, opt.dir.c_str());
  if (!MakeSource(source, bytes)) return 1;

  int fd = open(source.c_str(), O_RDONLY);
  void* map = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) return 1;
  const char* data = static_cast<const char*>(map);

  devservice::TestPki pki;
  if (!devservice::MakePki(&pki) || !devservice::WritePkiFiles(pki, opt.dir + "/pki")) return 1;
  // Where start-up puts the CA bundle, so the download client finds it.
  std::ofstream(platform::TempFolderA() + "cacert.pem") << pki.caCertPem;

  httplib::SSLServer https((opt.dir + "/pki/server.pem").c_str(), (opt.dir + "/pki/server.key").c_str());
  httplib::Server http;
  auto serve = [data, bytes](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(bytes, "application/octet-stream",
                             [data](size_t offset, size_t length, httplib::DataSink& sink) {
                               sink.write(data + offset, std::min<size_t>(length, 1 << 20));
                               return true;
                             });
  };
  https.Get("/package.7z", serve);
  http.Get("/package.7z", serve);
  const int httpsPort = https.bind_to_any_port("127.0.0.1");
  const int httpPort = http.bind_to_any_port("127.0.0.1");
  std::thread t1([&] { https.listen_after_bind(); });
  std::thread t2([&] { http.listen_after_bind(); });

  // A port where nothing listens: with it as the HTTPS port the client falls
  // back to plain HTTP at once (connection refused).
  int closedPort = 0;
  {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      closedPort = ntohs(addr.sin_port);
    }
    close(s);
  }

  CLogger::Instance().SetOutputs(0);  // the fallback's log line is not part of the figures
  const std::wstring outW = platform::Utf8ToWide(out);
  const double mb = static_cast<double>(bytes) / 1e6;
  for (const bool tls : {false, true}) {
    if (opt.proto != "both" && opt.proto != (tls ? "https" : "http")) continue;
    DeploymentValues dep;
    dep.apiHost = dep.reportHost = dep.downloadHost = "127.0.0.1";
    dep.httpsPort = tls ? httpsPort : closedPort;
    dep.httpPort = httpPort;
    SetDeploymentForTest(dep);
    const std::string url = std::string(tls ? "https" : "http") + "://127.0.0.1:" +
                            std::to_string(tls ? httpsPort : httpPort) + "/package.7z";
    const std::string curl = "curl -s -S " + std::string(tls ? "--cacert " + opt.dir + "/pki/ca.pem " : "") +
                             "-o " + out + " " + url;
    std::vector<double> ours, theirs, ratios;
    std::printf("\n%s, %d rounds (MB/s)\n", tls ? "HTTPS" : "HTTP", opt.rounds);
    for (int r = 0; r < opt.rounds; ++r) {
      std::remove(out.c_str());
      Settle();
      auto t0 = Clock::now();
      const int rc = httplib_down_muti("127.0.0.1", "/package.7z", outW.c_str());
      const double a = std::chrono::duration<double>(Clock::now() - t0).count();
      if (rc != 0 || !Run("cmp -s " + source + " " + out)) {
        std::printf("round %d: httplib_down_muti output differs (rc %d)\n", r, rc);
        return 1;
      }
      std::remove(out.c_str());
      Settle();
      t0 = Clock::now();
      const bool ok = Run(curl);
      const double b = std::chrono::duration<double>(Clock::now() - t0).count();
      if (!ok || !Run("cmp -s " + source + " " + out)) {
        std::printf("round %d: curl output differs\n", r);
        return 1;
      }
      ours.push_back(mb / a);
      theirs.push_back(mb / b);
      ratios.push_back(b / a);
      std::printf("round %d: httplib_down_muti %7.1f  curl %7.1f  ratio %.2f\n", r, mb / a, mb / b, b / a);
    }
    std::printf("median:  httplib_down_muti %7.1f  curl %7.1f  ratio %.2f\n", Median(ours), Median(theirs),
                Median(ratios));
  }

  https.stop();
  http.stop();
  t1.join();
  t2.join();
  munmap(map, bytes);
  close(fd);
  std::remove(out.c_str());
  std::remove(source.c_str());
  std::filesystem::remove_all(opt.dir);
  return 0;
}
