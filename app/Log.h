// The log writer: one dated file in the temporary folder, one line per call.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>

enum LogLevel : int {
  Startup = 1,
  Shutdown = 2,
  Info = 4,
  Warning = 8,
  Trace = 16,
  Error = 32,
  Debug = 64,
};

// Appends one line. `format` follows the wide printf rules of the installer's
// origin platform: "%s" takes a wide string (const wchar_t*).
void LogWrite(int level, const wchar_t* file, int line, const wchar_t* function,
              const wchar_t* format, ...);
void InitLog();
void SetLogDir(const std::wstring& folder);

// Broken-down local time with milliseconds, as the writer sees it.
struct LogTime {
  int year, month, day, hour, minute, second, millisecond;
  std::time_t seconds;  // since 1970
};

class CLogger {
 public:
  static CLogger& Instance();

  void Write(int level, const wchar_t* format, va_list args);
  void InitLog();
  void SetLogDir(const std::wstring& folder);

  // Test hooks: the clock, and the option to skip standard output.
  void SetClockForTest(std::function<LogTime()> clock);
  void SetOutputs(unsigned outputs) { m_outputs = outputs; }
  void SetLevelMask(unsigned mask) { m_levelMask = mask; }
  void SetNamePrefix(const std::wstring& prefix) { m_namePrefix = prefix; }
  void SetKeepDays(int days) { m_keepDays = days; }
  // Closes the file and forgets the day name (tests).
  void ResetForTest();

  // The line as written, without the line feed (exposed for tests).
  std::wstring FormatLine(int level, const LogTime& t, unsigned long threadId,
                          const wchar_t* format, va_list args) const;

 private:
  CLogger() = default;
  ~CLogger();
  void DeleteOldFiles(std::time_t now);

  std::mutex m_lock;
  unsigned m_outputs = 15;
  unsigned m_prefixFlags = 15;
  unsigned m_levelMask = 0x7F;
  int m_keepDays = 30;
  std::wstring m_folder = L"./log";
  std::wstring m_namePrefix = L"N_A";
  std::wstring m_currentDay;
  FILE* m_file = nullptr;
  std::function<LogTime()> m_clock;
};
