// HTTP response framing on arbitrary bytes. The first byte picks the piece
// size the stream is handed out in and whether the body goes through a small
// direct buffer; both ways must give the same body.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "comm/HttpResponseReader.h"

namespace {

HttpReadResult Run(const std::string& stream, size_t piece, bool direct, std::string* body) {
  size_t pos = 0;
  HttpByteSource source = [&](char* buffer, size_t size) -> ssize_t {
    if (pos == stream.size()) return 0;
    const size_t n = std::min({piece, size, stream.size() - pos});
    std::copy(stream.data() + pos, stream.data() + pos + n, buffer);
    pos += n;
    return static_cast<ssize_t>(n);
  };
  HttpBodySink sink = [body](const char* data, size_t n) {
    body->append(data, n);
    return true;
  };
  char room[3];
  HttpBodyBuffer buffer;
  buffer.room = [&room](size_t* size) {
    *size = sizeof(room);
    return room;
  };
  buffer.commit = [&room, body](size_t n) {
    body->append(room, n);
    return true;
  };
  return ReadHttpResponse(source, sink, nullptr, nullptr, direct ? &buffer : nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 16;
  const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string viaSink;
  std::string viaBuffer;
  const HttpReadResult a = Run(stream, piece, false, &viaSink);
  const HttpReadResult b = Run(stream, piece, true, &viaBuffer);
  if (a != b || viaSink != viaBuffer) std::abort();
  HttpResponseHead head;
  ParseHttpResponseHead(stream, &head);
  return 0;
}
