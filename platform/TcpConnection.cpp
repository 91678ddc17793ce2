// Client sockets: non-blocking connect bounded by poll, then blocking I/O
// bounded by SO_RCVTIMEO / SO_SNDTIMEO (one system call per read).
#include "platform/TcpConnection.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace platform {
namespace {

// Non-blocking connect to one address; the socket stays non-blocking.
bool ConnectOne(int fd, const addrinfo& ai, int timeoutSeconds) {
  if (::connect(fd, ai.ai_addr, ai.ai_addrlen) == 0) return true;
  if (errno != EINPROGRESS && errno != EINTR) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLOUT, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    int err = 0;
    socklen_t len = sizeof(err);
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
  }
}

}  // namespace

TcpConnection::~TcpConnection() { Close(); }

void TcpConnection::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

bool TcpConnection::Connect(const std::string& host, int port, int timeoutSeconds) {
  Close();
  if (host.empty() || port < 1 || port > 65535) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return false;
  for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0) continue;
    if (ConnectOne(fd, *ai, timeoutSeconds)) {
      const int flags = ::fcntl(fd, F_GETFL);
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      m_fd = fd;
      break;
    }
    ::close(fd);
  }
  ::freeaddrinfo(list);
  return m_fd >= 0;
}

void TcpConnection::SetTimeout(int seconds) {
  if (m_fd < 0) return;
  timeval tv{};
  tv.tv_sec = seconds;
  ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
  ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
}

ssize_t TcpConnection::Read(char* buffer, size_t size) {
  if (m_fd < 0) return -1;
  for (;;) {
    const ssize_t n = ::recv(m_fd, buffer, size, 0);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? -1 : n;
  }
}

bool TcpConnection::WriteAll(const char* data, size_t size) {
  if (m_fd < 0) return false;
  while (size > 0) {
    const ssize_t n = ::send(m_fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace platform
