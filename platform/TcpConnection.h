// A client TCP connection with connection and read timeouts.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace platform {

// Close-on-exec, so a program started later never holds the connection.
class TcpConnection {
 public:
  TcpConnection() = default;
  ~TcpConnection();
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  // Tries each address of host (a name or a literal, IPv6 without brackets)
  // until one accepts within `timeoutSeconds`. False when none does.
  bool Connect(const std::string& host, int port, int timeoutSeconds);
  // Applies to every later Read and WriteAll.
  void SetTimeout(int seconds);
  // Bytes read (> 0), 0 when the peer closed, -1 on an error or when nothing
  // arrived within the timeout.
  ssize_t Read(char* buffer, size_t size);
  // False when the peer is gone or a send timed out (never raises SIGPIPE).
  bool WriteAll(const char* data, size_t size);
  void Close();

 private:
  int m_fd = -1;
};

}  // namespace platform
