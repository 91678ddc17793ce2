// The demo client's browser component: a process that only waits until it is
// stopped, so installers have a second process of the client to end.
#include <signal.h>
#include <unistd.h>

#include "Marker.h"

#ifndef DEMOCLIENT_VERSION
#error "DEMOCLIENT_VERSION must be defined"
#endif

int main() {
  // Wait for SIGTERM, SIGINT or SIGHUP with those signals blocked, so none of
  // them can slip in between the marker and the wait.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGHUP);
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  democlient::WriteStartedMarker(DEMOCLIENT_VERSION);
  int sig = 0;
  sigwait(&stop, &sig);
  return 0;
}
