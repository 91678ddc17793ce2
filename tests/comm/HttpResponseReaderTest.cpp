// HTTP/1.1 response framing over a scripted byte stream: every case is fed in
// several piece sizes, through the sink and through the direct buffer, and
// must give the same result and body each way.
#include "comm/HttpResponseReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct Outcome {
  HttpReadResult result;
  int status = 0;
  std::string body;
  bool operator==(const Outcome& o) const { return result == o.result && status == o.status && body == o.body; }
};

std::string Name(HttpReadResult r) {
  switch (r) {
    case HttpReadResult::kComplete: return "complete";
    case HttpReadResult::kNoResponse: return "no response";
    case HttpReadResult::kCutShort: return "cut short";
    case HttpReadResult::kStopped: return "stopped";
  }
  return "?";
}

// Hands `stream` out `piece` bytes at a time, then 0 (closed) or -1 (error).
Outcome Read(const std::string& stream, size_t piece, bool endsInError, bool direct,
             size_t sinkLimit = std::string::npos) {
  size_t pos = 0;
  HttpByteSource source = [&](char* buffer, size_t size) -> ssize_t {
    if (pos == stream.size()) return endsInError ? -1 : 0;
    const size_t n = std::min({piece, size, stream.size() - pos});
    std::copy(stream.data() + pos, stream.data() + pos + n, buffer);
    pos += n;
    return static_cast<ssize_t>(n);
  };
  Outcome out{HttpReadResult::kNoResponse, 0, {}};
  uint64_t lastProgress = 0;
  auto accept = [&](size_t n) {
    if (out.body.size() + n > sinkLimit) return false;
    return true;
  };
  HttpBodySink sink = [&](const char* data, size_t n) {
    if (!accept(n)) return false;
    out.body.append(data, n);
    return true;
  };
  HttpBodyProgress progress = [&](uint64_t received, uint64_t) {
    EXPECT_GT(received, lastProgress);
    lastProgress = received;
  };
  // The direct buffer offers 5 bytes at a time, so pieces straddle it.
  char room[5];
  HttpBodyBuffer buffer;
  buffer.room = [&](size_t* size) {
    *size = sizeof(room);
    return room;
  };
  buffer.commit = [&](size_t n) {
    if (!accept(n)) return false;
    out.body.append(room, n);
    return true;
  };
  HttpResponseHead head;
  out.result = ReadHttpResponse(source, sink, progress, &head, direct ? &buffer : nullptr);
  out.status = out.result == HttpReadResult::kNoResponse ? 0 : head.status;
  if (out.result != HttpReadResult::kNoResponse) {
    EXPECT_EQ(lastProgress, out.body.size());
  }
  return out;
}

struct Case {
  const char* what;
  std::string stream;
  bool endsInError;
  HttpReadResult result;
  int status;
  std::string body;
};

TEST(HttpResponseReaderTest, FramingTable) {
  const std::string big(70000, 'z');
  const Case cases[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, HttpReadResult::kComplete, 200, "hello"},
      {"bytes after the length are not body", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", false,
       HttpReadResult::kComplete, 200, "abc"},
      {"length larger than what came", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", false,
       HttpReadResult::kCutShort, 200, "abc"},
      {"large body", "HTTP/1.1 200 OK\r\ncontent-length: 70000\r\n\r\n" + big, false, HttpReadResult::kComplete, 200,
       big},
      {"LF-only line ends, no reason", "HTTP/1.0 200\nContent-Length:2\n\nok", false, HttpReadResult::kComplete, 200,
       "ok"},
      {"error page is a body like any other", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone", false,
       HttpReadResult::kComplete, 404, "gone"},
      {"chunked with extension and trailer",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=1\r\nhello\r\nA\r\n 012345678\r\n0\r\nX-T: 1\r\n\r\n",
       false, HttpReadResult::kComplete, 200, "hello 012345678"},
      {"chunked wins over a length", "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n"
       "2\r\nab\r\n0\r\n\r\n", false, HttpReadResult::kComplete, 200, "ab"},
      {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nab\r\n0\r\n\r\n", false,
       HttpReadResult::kCutShort, 200, ""},
      {"chunk size overflowing", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffff\r\nab", false,
       HttpReadResult::kCutShort, 200, ""},
      {"chunk data not ended by CRLF", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n",
       false, HttpReadResult::kCutShort, 200, "ab"},
      {"chunked, no last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n", false,
       HttpReadResult::kCutShort, 200, "ab"},
      {"until close", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\nall of it", false, HttpReadResult::kComplete, 200,
       "all of it"},
      {"until close, then a read error", "HTTP/1.1 200 OK\r\n\r\npart", true, HttpReadResult::kCutShort, 200, "part"},
      {"other transfer coding reads until close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nraw", false,
       HttpReadResult::kComplete, 200, "raw"},
      {"informational responses skipped", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early\r\nLink: x\r\n\r\n"
       "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n!", false, HttpReadResult::kComplete, 200, "!"},
      {"no body after 204", "HTTP/1.1 204 No Content\r\nContent-Length: 4\r\n\r\nnope", false,
       HttpReadResult::kComplete, 204, ""},
      {"garbage", "<html>hello</html>\r\n\r\n", false, HttpReadResult::kNoResponse, 0, ""},
      {"four-digit status", "HTTP/1.1 2000 OK\r\n\r\n", false, HttpReadResult::kNoResponse, 0, ""},
      {"status below 100", "HTTP/1.1 099 Low\r\n\r\n", false, HttpReadResult::kNoResponse, 0, ""},
      {"header without colon", "HTTP/1.1 200 OK\r\nbroken\r\n\r\nx", false, HttpReadResult::kNoResponse, 0, ""},
      {"space in a header name", "HTTP/1.1 200 OK\r\nContent Length: 1\r\n\r\nx", false, HttpReadResult::kNoResponse,
       0, ""},
      {"length not a number", "HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\nx", false, HttpReadResult::kNoResponse,
       0, ""},
      {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nx", false, HttpReadResult::kNoResponse, 0, ""},
      {"disagreeing lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nxy", false,
       HttpReadResult::kNoResponse, 0, ""},
      {"head never ends", "HTTP/1.1 200 OK\r\nA: b\r\n", false, HttpReadResult::kNoResponse, 0, ""},
      {"head over 64 KiB", "HTTP/1.1 200 OK\r\nX: " + std::string(70000, 'a') + "\r\n\r\n", false,
       HttpReadResult::kNoResponse, 0, ""},
      {"nothing at all", "", true, HttpReadResult::kNoResponse, 0, ""},
  };
  for (const Case& c : cases) {
    const Outcome want{c.result, c.status, c.body};
    for (size_t piece : {size_t{1}, size_t{7}, size_t{1} << 20}) {
      for (bool direct : {false, true}) {
        const Outcome got = Read(c.stream, piece, c.endsInError, direct);
        EXPECT_TRUE(got == want) << c.what << ", pieces of " << piece << (direct ? ", direct" : "") << ": "
                                 << Name(got.result) << " " << got.status << " \"" << got.body.substr(0, 40)
                                 << "\"";
      }
    }
  }
}

TEST(HttpResponseReaderTest, RefusingSinkStopsTheTransfer) {
  const std::string stream = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(100, 'x');
  for (bool direct : {false, true}) {
    const Outcome got = Read(stream, 10, false, direct, 30);
    EXPECT_EQ(got.result, HttpReadResult::kStopped) << direct;
    EXPECT_LE(got.body.size(), 30u) << direct;
  }
}

TEST(HttpResponseReaderTest, RequestLineCannotBeExtendedByThePath) {
  const struct {
    const char* host;
    int port;
    const char* path;
    const char* firstLines;
  } cases[] = {
      {"cdn.example", 80, "/a/b.7z?x=1", "GET /a/b.7z?x=1 HTTP/1.1\r\nHost: cdn.example\r\n"},
      {"127.0.0.1", 8080, "", "GET / HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n"},
      {"::1", 8080, "/p", "GET /p HTTP/1.1\r\nHost: [::1]:8080\r\n"},
      {"h", 80, "/a b\r\nX-Evil: 1", "GET /a%20b%0D%0AX-Evil:%201 HTTP/1.1\r\nHost: h\r\n"},
      {"h", 80, "/\xe5\xae\xa2\x7f", "GET /%E5%AE%A2%7F HTTP/1.1\r\nHost: h\r\n"},
  };
  for (const auto& c : cases) {
    const std::string request = BuildHttpGetRequest(c.host, c.port, c.path, "UA/1");
    EXPECT_EQ(request.rfind(c.firstLines, 0), 0u) << request;
    EXPECT_NE(request.find("\r\nUser-Agent: UA/1\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nConnection: close\r\n\r\n"), std::string::npos);
    EXPECT_EQ(request.find("X-Evil: 1"), std::string::npos);
  }
}

}  // namespace
