// devservice: the loopback stand-in for the installer's service hosts (install
// info, package download, statistics reports, agreement page). See README.md.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "tools/devservice/Service.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: devservice --state DIR [--https-port N] [--http-port N] [--scenario FILE]\n"
               "                  [--package DIR|FILE] [--package-v2 DIR|FILE] [--url-host HOST]\n"
               "                  [--level 0-9]\n");
}

bool ParsePort(const char* text, int* port) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!end || *end != '\0' || v < 0 || v > 65535) return false;
  *port = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  devservice::ServiceOptions opt;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) {
      Usage();
      return 2;
    }
    ++i;
    if (arg == "--state") {
      opt.stateDir = value;
    } else if (arg == "--scenario") {
      opt.scenarioPath = value;
    } else if (arg == "--package") {
      opt.packageSource[0] = value;
    } else if (arg == "--package-v2") {
      opt.packageSource[1] = value;
    } else if (arg == "--url-host") {
      opt.urlHost = value;
    } else if (arg == "--level") {
      int level = -1;
      if (!ParsePort(value, &level) || level > 9) return Usage(), 2;
      opt.compressionLevel = level;
    } else if (arg == "--https-port") {
      if (!ParsePort(value, &opt.httpsPort)) return Usage(), 2;
    } else if (arg == "--http-port") {
      if (!ParsePort(value, &opt.httpPort)) return Usage(), 2;
    } else {
      Usage();
      return 2;
    }
  }
  if (opt.stateDir.empty()) {
    Usage();
    return 2;
  }

  // Signals are taken synchronously by this thread; the listener threads
  // inherit the mask. A client that hangs up must not kill the service.
  signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  devservice::Service service(opt);
  std::string error;
  if (!service.Start(&error)) {
    std::fprintf(stderr, "devservice: %s\n", error.c_str());
    return 1;
  }
  std::printf("https=%d http=%d\n", service.HttpsPort(), service.HttpPort());
  std::fflush(stdout);

  const timespec tick = {0, 100 * 1000 * 1000};
  for (;;) {
    int sig = sigtimedwait(&stopSignals, nullptr, &tick);
    if (sig > 0) break;
    service.ApplyListenState();
  }
  service.Stop();
  return 0;
}
