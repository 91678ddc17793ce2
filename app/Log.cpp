// The log writer. Formats follow the origin platform's wide printf (where "%s"
// is a wide string), so the format is walked here instead of handing it to
// glibc's vswprintf, whose "%s" wants a narrow string in the C locale.
#include "app/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "platform/Files.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

constexpr size_t kMaxLine = 2047;  // characters before the line feed

const wchar_t* LevelName(int level) {
  switch (level) {
    case Startup: return L"Startup";
    case Shutdown: return L"Shutdown";
    case Info: return L"Info";
    case Warning: return L"Warning";
    case Trace: return L"Trace";
    case Error: return L"Error";
    case Debug: return L"Debug";
    default: return L"Unknown";
  }
}

// Appends `s` as one %s conversion would: precision cuts, width pads.
void AppendString(std::wstring* out, const std::wstring& s, bool leftAlign, int width, int precision) {
  size_t len = s.size();
  if (precision >= 0 && static_cast<size_t>(precision) < len) len = static_cast<size_t>(precision);
  const size_t pad = width > 0 && static_cast<size_t>(width) > len ? static_cast<size_t>(width) - len : 0;
  if (!leftAlign) out->append(pad, L' ');
  out->append(s, 0, len);
  if (leftAlign) out->append(pad, L' ');
}

// One numeric conversion through swprintf with the conversion rebuilt in glibc terms.
template <typename T>
void AppendNumber(std::wstring* out, const std::wstring& flags, int width, int precision,
                  const wchar_t* length, wchar_t conv, T value) {
  std::wstring piece = L"%" + flags;
  if (width >= 0) piece += std::to_wstring(width);
  if (precision >= 0) piece += L"." + std::to_wstring(precision);
  piece += length;
  piece += conv;
  std::vector<wchar_t> buf(static_cast<size_t>(width > 0 ? width : 0) +
                           static_cast<size_t>(precision > 0 ? precision : 0) + 512);
  int n = std::swprintf(buf.data(), buf.size(), piece.c_str(), value);
  if (n > 0) out->append(buf.data(), static_cast<size_t>(n));
}

// Formats `format` with the origin platform's rules: %s/%ls/%ws wide string,
// %S/%hs narrow (UTF-8) string, %c/%lc wide char, %C/%hc narrow char, I64/I32/I
// length prefixes. %n writes nothing.
std::wstring FormatWide(const wchar_t* format, va_list args) {
  std::wstring out;
  if (!format) return out;
  va_list ap;
  va_copy(ap, args);
  for (const wchar_t* p = format; *p;) {
    if (*p != L'%') {
      out.push_back(*p++);
      continue;
    }
    const wchar_t* start = p++;
    if (*p == L'%') {
      out.push_back(L'%');
      ++p;
      continue;
    }
    std::wstring flags;
    while (*p && std::wcschr(L"-+ #0", *p)) flags.push_back(*p++);
    int width = -1;
    if (*p == L'*') {
      width = va_arg(ap, int);
      if (width < 0) {
        flags.push_back(L'-');
        width = -width;
      }
      ++p;
    } else if (*p >= L'0' && *p <= L'9') {
      width = 0;
      while (*p >= L'0' && *p <= L'9') width = width * 10 + (*p++ - L'0');
    }
    int precision = -1;
    if (*p == L'.') {
      ++p;
      precision = 0;
      if (*p == L'*') {
        precision = va_arg(ap, int);
        ++p;
      } else {
        while (*p >= L'0' && *p <= L'9') precision = precision * 10 + (*p++ - L'0');
      }
    }
    // Length: 0 none, 'H' hh, 'h', 'l', 'q' ll / I64, 'z' size_t / I, 'j', 't', 'L', 'w' wide.
    wchar_t len = 0;
    if (p[0] == L'h' && p[1] == L'h') { len = L'H'; p += 2; }
    else if (p[0] == L'l' && p[1] == L'l') { len = L'q'; p += 2; }
    else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') { len = L'q'; p += 3; }
    else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') { len = 0; p += 3; }
    else if (*p == L'I') { len = L'z'; ++p; }
    else if (*p && std::wcschr(L"hlzjtLw", *p)) { len = *p++; }
    const wchar_t conv = *p;
    if (!conv) {
      out.append(start);
      break;
    }
    ++p;
    const bool left = flags.find(L'-') != std::wstring::npos;
    switch (conv) {
      case L's':
      case L'S': {
        const bool narrow = (conv == L'S' && len != L'l' && len != L'w') || len == L'h';
        if (narrow) {
          const char* s = va_arg(ap, const char*);
          AppendString(&out, s ? platform::Utf8ToWide(s) : L"(null)", left, width, precision);
        } else {
          const wchar_t* s = va_arg(ap, const wchar_t*);
          AppendString(&out, s ? std::wstring(s) : L"(null)", left, width, precision);
        }
        break;
      }
      case L'c':
      case L'C': {
        const int v = va_arg(ap, int);
        const bool narrow = (conv == L'C' && len != L'l' && len != L'w') || len == L'h';
        const std::wstring s = narrow ? platform::Utf8ToWide(std::string(1, static_cast<char>(v)))
                                      : std::wstring(1, static_cast<wchar_t>(v));
        AppendString(&out, s, left, width, -1);
        break;
      }
      case L'd':
      case L'i':
      case L'u':
      case L'o':
      case L'x':
      case L'X': {
        const bool isSigned = conv == L'd' || conv == L'i';
        switch (len) {
          case L'l':
            if (isSigned) AppendNumber(&out, flags, width, precision, L"l", conv, va_arg(ap, long));
            else AppendNumber(&out, flags, width, precision, L"l", conv, va_arg(ap, unsigned long));
            break;
          case L'q':
            if (isSigned) AppendNumber(&out, flags, width, precision, L"ll", conv, va_arg(ap, long long));
            else AppendNumber(&out, flags, width, precision, L"ll", conv, va_arg(ap, unsigned long long));
            break;
          case L'z':
            AppendNumber(&out, flags, width, precision, L"z", conv, va_arg(ap, size_t));
            break;
          case L'j':
            AppendNumber(&out, flags, width, precision, L"j", conv, va_arg(ap, intmax_t));
            break;
          case L't':
            AppendNumber(&out, flags, width, precision, L"t", conv, va_arg(ap, ptrdiff_t));
            break;
          case L'h':
            AppendNumber(&out, flags, width, precision, L"h", conv, va_arg(ap, int));
            break;
          case L'H':
            AppendNumber(&out, flags, width, precision, L"hh", conv, va_arg(ap, int));
            break;
          default:
            if (isSigned) AppendNumber(&out, flags, width, precision, L"", conv, va_arg(ap, int));
            else AppendNumber(&out, flags, width, precision, L"", conv, va_arg(ap, unsigned));
            break;
        }
        break;
      }
      case L'f':
      case L'F':
      case L'e':
      case L'E':
      case L'g':
      case L'G':
      case L'a':
      case L'A':
        if (len == L'L') AppendNumber(&out, flags, width, precision, L"L", conv, va_arg(ap, long double));
        else AppendNumber(&out, flags, width, precision, L"", conv, va_arg(ap, double));
        break;
      case L'p':
        AppendNumber(&out, flags, width, precision, L"", conv, va_arg(ap, void*));
        break;
      case L'n':
        (void)va_arg(ap, void*);
        break;
      default:
        out.append(start, p);  // unknown conversion: shown as written
        break;
    }
  }
  va_end(ap);
  return out;
}

LogTime SystemClock() {
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm tm {};
  localtime_r(&ts.tv_sec, &tm);
  LogTime t{};
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  t.seconds = ts.tv_sec;
  return t;
}

std::wstring DayName(int year, int month, int day) {
  wchar_t buf[32];
  std::swprintf(buf, 32, L"%04u%02u%02u.log", static_cast<unsigned>(year), static_cast<unsigned>(month),
                static_cast<unsigned>(day));
  return buf;
}

unsigned long CurrentThreadId() { return static_cast<unsigned long>(syscall(SYS_gettid)); }

}  // namespace

CLogger& CLogger::Instance() {
  // Never destroyed: worker threads may still log while the process exits.
  static CLogger* logger = new CLogger();
  return *logger;
}

CLogger::~CLogger() {
  if (m_file) std::fclose(m_file);
}

void CLogger::SetClockForTest(std::function<LogTime()> clock) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_clock = std::move(clock);
}

void CLogger::ResetForTest() {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_file) std::fclose(m_file);
  m_file = nullptr;
  m_currentDay.clear();
}

std::wstring CLogger::FormatLine(int level, const LogTime& t, unsigned long threadId, const wchar_t* format,
                                 va_list args) const {
  std::wstring line;
  wchar_t buf[64];
  if (m_prefixFlags & 1) {
    std::swprintf(buf, 64, L"[%02u:%02u:%02u.%03u]|", static_cast<unsigned>(t.hour),
                  static_cast<unsigned>(t.minute), static_cast<unsigned>(t.second),
                  static_cast<unsigned>(t.millisecond));
    line += buf;
  }
  if (m_prefixFlags & 2) {
    std::swprintf(buf, 64, L"[%04lx]|", threadId);
    line += buf;
  }
  line += L"[";
  line += LevelName(level);
  line += L"]|";
  if (line.size() < kMaxLine) line += FormatWide(format, args);
  if (line.size() > kMaxLine) line.resize(kMaxLine);
  return line;
}

void CLogger::Write(int level, const wchar_t* format, va_list args) {
  std::function<LogTime()> clock;
  unsigned outputs;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if ((static_cast<unsigned>(level) & m_levelMask) == 0) return;
    clock = m_clock;
    outputs = m_outputs;
  }
  const LogTime t = clock ? clock() : SystemClock();
  const std::string text = platform::WideToUtf8(FormatLine(level, t, CurrentThreadId(), format, args)) + "\n";
  if (outputs & 1) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  if (!(outputs & 2)) return;
  std::lock_guard<std::mutex> guard(m_lock);
  const std::wstring day = DayName(t.year, t.month, t.day);
  if (day != m_currentDay) {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
    DeleteOldFiles(t.seconds);
    const std::string path = platform::WideToUtf8(m_folder + m_namePrefix + day);
    // Own open for O_CLOEXEC: the client the installer starts must not inherit the log.
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
      m_file = fdopen(fd, "a");
      if (!m_file) close(fd);
    }
    m_currentDay = day;
  }
  if (m_file) {
    std::fwrite(text.data(), 1, text.size(), m_file);
    std::fflush(m_file);
  }
}

void CLogger::DeleteOldFiles(std::time_t now) {
  std::time_t t = now - static_cast<std::time_t>(m_keepDays) * 86400 - 86400;
  for (;;) {
    struct tm tm {};
    if (!localtime_r(&t, &tm)) return;
    const std::wstring path = m_folder + m_namePrefix + DayName(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    if (unlink(platform::WideToUtf8(path).c_str()) != 0) return;
    t -= 86400;
  }
}

void CLogger::SetLogDir(const std::wstring& folder) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_folder = folder;
  if (m_folder.empty() || m_folder.back() != L'/') m_folder += L'/';
  mkdir(platform::WideToUtf8(m_folder).c_str(), 0700);
  // A file opened before (in the old folder) is left for the new folder at the next line.
  if (m_file) std::fclose(m_file);
  m_file = nullptr;
  m_currentDay.clear();
}

void CLogger::InitLog() {
  const std::wstring folder = platform::TempFolder();
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_levelMask = 0x2F;
    m_keepDays = 7;
    m_namePrefix = L"Installer";
  }
  if (!platform::IsDirectory(folder)) platform::CreateDirectories(folder);
  SetLogDir(folder);
}

void LogWrite(int level, const wchar_t* file, int line, const wchar_t* function, const wchar_t* format, ...) {
  (void)file;
  (void)line;
  (void)function;
  va_list args;
  va_start(args, format);
  CLogger::Instance().Write(level, format, args);
  va_end(args);
}

void InitLog() { CLogger::Instance().InitLog(); }

void SetLogDir(const std::wstring& folder) { CLogger::Instance().SetLogDir(folder); }
