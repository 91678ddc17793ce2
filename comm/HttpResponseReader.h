// One HTTP/1.1 response read from a byte source, its body streamed to a sink.
// The plain-HTTP package download uses it so the socket is read in large
// pieces (the HTTP library reads 4 KiB at a time, a system call each).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

enum class HttpBodyFraming { None, Length, Chunked, UntilClose };

struct HttpResponseHead {
  int status = 0;
  HttpBodyFraming framing = HttpBodyFraming::UntilClose;
  uint64_t length = 0;  // framing Length only
};

// The status line and header lines, each ended by LF or CRLF, without the
// blank line. False when malformed: a bad status line, a header line without
// a name, a Content-Length that is not a number or disagrees with another.
bool ParseHttpResponseHead(const std::string& head, HttpResponseHead* out);

enum class HttpReadResult {
  kComplete,    // the whole body arrived
  kNoResponse,  // no valid response head
  kCutShort,    // the body ended early, broke its framing or timed out
  kStopped,     // the sink refused more data
};

// Bytes into the buffer (> 0), 0 at the end of the stream, -1 on an error.
using HttpByteSource = std::function<ssize_t(char* buffer, size_t size)>;
// A piece of the body; false stops the transfer.
using HttpBodySink = std::function<bool(const char* data, size_t size)>;
// After each piece: bytes so far and the announced length (0 when unknown).
using HttpBodyProgress = std::function<void(uint64_t received, uint64_t total)>;

// Where the body may be received without a copy: `room` gives free space
// (null: none, use the sink), `commit` takes the bytes received into it and
// answers like the sink.
struct HttpBodyBuffer {
  std::function<char*(size_t* size)> room;
  std::function<bool(size_t length)> commit;
};

// Informational (1xx) responses are skipped. The head may be at most 64 KiB.
// Bytes that arrived with the head always go through the sink.
HttpReadResult ReadHttpResponse(const HttpByteSource& source, const HttpBodySink& sink,
                                const HttpBodyProgress& progress, HttpResponseHead* head = nullptr,
                                const HttpBodyBuffer* direct = nullptr);

// "GET <path> HTTP/1.1" with Host, User-Agent, Accept and "Connection: close".
// Bytes of the path that may not appear in a request line (controls, space,
// non-ASCII) are percent-encoded, so the path can never add a header.
std::string BuildHttpGetRequest(const std::string& host, int port, const std::string& path,
                                const std::string& userAgent);
