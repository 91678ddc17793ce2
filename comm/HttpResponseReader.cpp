// HTTP/1.1 response framing: status line, headers, then a body delimited by
// Content-Length, chunked transfer coding or the end of the connection.
#include "comm/HttpResponseReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "platform/Text.h"

namespace {

constexpr size_t kReadSize = 256 * 1024;
constexpr size_t kMaxHead = 64 * 1024;
constexpr size_t kMaxChunkLine = 4096;
constexpr int kMaxInformational = 16;

using platform::AsciiLower;

// HTTP's optional whitespace: spaces and tabs only.
std::string Trim(const std::string& s) { return platform::TrimAscii(s, " \t"); }

bool IsTokenChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (std::isalnum(u)) return true;
  return c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

// Decimal digits only, at most 2^63 - 1.
bool ParseLength(const std::string& text, uint64_t* out) {
  if (text.empty() || text.size() > 18) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  *out = v;
  return true;
}

// Buffered reads from the source; the body is handed out straight from the
// buffer.
class Input {
 public:
  explicit Input(const HttpByteSource& source) : m_source(source), m_buffer(kReadSize) {}

  // At least one unread byte; false at the end of the stream or on an error.
  bool Fill() {
    if (m_pos < m_end) return true;
    if (m_failed) return false;
    const ssize_t n = m_source(m_buffer.data(), m_buffer.size());
    if (n <= 0) {
      m_failed = true;
      m_error = n < 0;
      return false;
    }
    m_pos = 0;
    m_end = std::min(static_cast<size_t>(n), m_buffer.size());
    return true;
  }
  bool Error() const { return m_error; }

  // Reads past the (empty) buffer straight into `into`: > 0 bytes, or 0 at
  // the end of the stream or on an error (see Error).
  size_t ReadDirect(char* into, size_t size) {
    if (m_failed || m_pos < m_end) return 0;
    const ssize_t n = m_source(into, size);
    if (n <= 0) {
      m_failed = true;
      m_error = n < 0;
      return 0;
    }
    return std::min(static_cast<size_t>(n), size);
  }

  const char* Data() const { return m_buffer.data() + m_pos; }
  size_t Available() const { return m_end - m_pos; }
  void Consume(size_t n) { m_pos += n; }

  // A line without its LF (and CR). False when the stream ends first or the
  // line passes `max` bytes.
  bool ReadLine(std::string* line, size_t max) {
    line->clear();
    for (;;) {
      if (!Fill()) return false;
      const char* begin = Data();
      const char* lf = static_cast<const char*>(std::memchr(begin, '\n', Available()));
      const size_t take = lf ? static_cast<size_t>(lf - begin) : Available();
      if (line->size() + take > max) return false;
      line->append(begin, take);
      Consume(take);
      if (lf) {
        Consume(1);
        if (!line->empty() && line->back() == '\r') line->pop_back();
        return true;
      }
    }
  }

 private:
  const HttpByteSource& m_source;
  std::vector<char> m_buffer;
  size_t m_pos = 0;
  size_t m_end = 0;
  bool m_failed = false;
  bool m_error = false;
};

// The head up to and including the blank line; false past kMaxHead.
bool ReadHead(Input& in, std::string* head) {
  head->clear();
  std::string line;
  for (;;) {
    if (!in.ReadLine(&line, kMaxHead)) return false;
    if (line.empty()) return !head->empty();
    if (head->size() + line.size() + 1 > kMaxHead) return false;
    head->append(line);
    head->push_back('\n');
  }
}

class BodyWriter {
 public:
  BodyWriter(const HttpBodySink& sink, const HttpBodyProgress& progress, uint64_t total,
             const HttpBodyBuffer* direct)
      : m_sink(sink), m_progress(progress), m_total(total), m_direct(direct) {}
  bool Put(const char* data, size_t n) {
    if (m_sink && !m_sink(data, n)) return false;
    Counted(n);
    return true;
  }

  // Moves up to `limit` bytes of the stream to the body, through the direct
  // buffer once the input's own buffer is drained. 0 with `*stopped` false at
  // the end of the stream.
  size_t Take(Input& in, uint64_t limit, bool* stopped) {
    *stopped = false;
    size_t room = 0;
    char* into = nullptr;
    if (in.Available() == 0 && m_direct && m_direct->room) into = m_direct->room(&room);
    if (into && room > 0) {
      const size_t n = in.ReadDirect(into, static_cast<size_t>(std::min<uint64_t>(limit, room)));
      if (n == 0) return 0;
      *stopped = !m_direct->commit(n);
      if (!*stopped) Counted(n);
      return n;
    }
    if (!in.Fill()) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(limit, in.Available()));
    *stopped = !Put(in.Data(), n);
    in.Consume(n);
    return n;
  }

 private:
  void Counted(size_t n) {
    m_received += n;
    if (m_progress) m_progress(m_received, m_total);
  }

  const HttpBodySink& m_sink;
  const HttpBodyProgress& m_progress;
  uint64_t m_total;
  const HttpBodyBuffer* m_direct;
  uint64_t m_received = 0;
};

// Moves `count` bytes of the stream to the body; kComplete when all came.
HttpReadResult CopyBody(Input& in, BodyWriter& out, uint64_t count) {
  while (count > 0) {
    bool stopped = false;
    const size_t n = out.Take(in, count, &stopped);
    if (stopped) return HttpReadResult::kStopped;
    if (n == 0) return HttpReadResult::kCutShort;
    count -= n;
  }
  return HttpReadResult::kComplete;
}

// "1a2b[;ext]" -> 0x1a2b; at most 15 hex digits.
bool ParseChunkSize(const std::string& line, uint64_t* out) {
  const std::string digits = Trim(line.substr(0, line.find(';')));
  if (digits.empty() || digits.size() > 15) return false;
  uint64_t v = 0;
  for (char c : digits) {
    const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                  : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                              : -1;
    if (d < 0) return false;
    v = v * 16 + static_cast<uint64_t>(d);
  }
  *out = v;
  return true;
}

HttpReadResult ReadChunked(Input& in, BodyWriter& out) {
  std::string line;
  for (;;) {
    uint64_t size = 0;
    if (!in.ReadLine(&line, kMaxChunkLine) || !ParseChunkSize(line, &size)) return HttpReadResult::kCutShort;
    if (size == 0) break;
    const HttpReadResult r = CopyBody(in, out, size);
    if (r != HttpReadResult::kComplete) return r;
    if (!in.ReadLine(&line, kMaxChunkLine) || !line.empty()) return HttpReadResult::kCutShort;
  }
  // Trailer fields, then the blank line.
  size_t trailer = 0;
  for (;;) {
    if (!in.ReadLine(&line, kMaxChunkLine)) return HttpReadResult::kCutShort;
    if (line.empty()) return HttpReadResult::kComplete;
    trailer += line.size();
    if (trailer > kMaxHead) return HttpReadResult::kCutShort;
  }
}

}  // namespace

bool ParseHttpResponseHead(const std::string& head, HttpResponseHead* out) {
  HttpResponseHead result;
  size_t lineStart = 0;
  size_t lineEnd = head.find('\n');
  std::string status = head.substr(0, lineEnd);
  if (!status.empty() && status.back() == '\r') status.pop_back();
  // "HTTP/d.d SSS[ reason]"
  if (status.size() < 12 || status.compare(0, 5, "HTTP/") != 0 || !std::isdigit(static_cast<unsigned char>(status[5])) ||
      status[6] != '.' || !std::isdigit(static_cast<unsigned char>(status[7])) || status[8] != ' ') {
    return false;
  }
  for (int i = 9; i < 12; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(status[i]))) return false;
    result.status = result.status * 10 + (status[i] - '0');
  }
  if (status.size() > 12 && status[12] != ' ') return false;
  if (result.status < 100) return false;

  bool haveLength = false;
  bool chunked = false;
  bool transferCoded = false;
  while (lineEnd != std::string::npos) {
    lineStart = lineEnd + 1;
    lineEnd = head.find('\n', lineStart);
    std::string line = head.substr(lineStart, lineEnd == std::string::npos ? std::string::npos : lineEnd - lineStart);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    const std::string name = line.substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), IsTokenChar)) return false;
    const std::string key = AsciiLower(name);
    const std::string value = Trim(line.substr(colon + 1));
    if (key == "content-length") {
      uint64_t length = 0;
      if (!ParseLength(value, &length)) return false;
      if (haveLength && length != result.length) return false;
      result.length = length;
      haveLength = true;
    } else if (key == "transfer-encoding") {
      transferCoded = true;
      // Only the last coding decides whether the body is chunked.
      const size_t comma = value.rfind(',');
      chunked = AsciiLower(Trim(comma == std::string::npos ? value : value.substr(comma + 1))) == "chunked";
    }
  }
  if ((result.status >= 100 && result.status < 200) || result.status == 204 || result.status == 304) {
    result.framing = HttpBodyFraming::None;
  } else if (transferCoded) {
    result.framing = chunked ? HttpBodyFraming::Chunked : HttpBodyFraming::UntilClose;
  } else if (haveLength) {
    result.framing = HttpBodyFraming::Length;
  } else {
    result.framing = HttpBodyFraming::UntilClose;
  }
  if (result.framing != HttpBodyFraming::Length) result.length = 0;
  *out = result;
  return true;
}

HttpReadResult ReadHttpResponse(const HttpByteSource& source, const HttpBodySink& sink,
                                const HttpBodyProgress& progress, HttpResponseHead* headOut,
                                const HttpBodyBuffer* direct) {
  Input in(source);
  HttpResponseHead head;
  std::string text;
  for (int informational = 0;; ++informational) {
    if (informational > kMaxInformational || !ReadHead(in, &text) || !ParseHttpResponseHead(text, &head)) {
      return HttpReadResult::kNoResponse;
    }
    if (head.status >= 200 || head.status == 101) break;
  }
  if (headOut) *headOut = head;
  BodyWriter out(sink, progress, head.length, direct);
  switch (head.framing) {
    case HttpBodyFraming::None:
      return HttpReadResult::kComplete;
    case HttpBodyFraming::Length:
      return CopyBody(in, out, head.length);
    case HttpBodyFraming::Chunked:
      return ReadChunked(in, out);
    case HttpBodyFraming::UntilClose:
      for (;;) {
        bool stopped = false;
        if (out.Take(in, UINT64_MAX, &stopped) == 0) break;
        if (stopped) return HttpReadResult::kStopped;
      }
      return in.Error() ? HttpReadResult::kCutShort : HttpReadResult::kComplete;
  }
  return HttpReadResult::kCutShort;
}

std::string BuildHttpGetRequest(const std::string& host, int port, const std::string& path,
                                const std::string& userAgent) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string target;
  for (unsigned char c : path.empty() ? std::string("/") : path) {
    if (c <= 0x20 || c >= 0x7f) {
      target += '%';
      target += kHex[c >> 4];
      target += kHex[c & 15];
    } else {
      target += static_cast<char>(c);
    }
  }
  std::string hostField = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  if (port != 80) hostField += ":" + std::to_string(port);
  return "GET " + target + " HTTP/1.1\r\nHost: " + hostField + "\r\nUser-Agent: " + userAgent +
         "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
}
