// The install-info request: asks the service which client package to fetch
// and keeps the answer (URL, size, CRC-32, version) for the rest of the run.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

class HttpInstallInfo {
 public:
  static HttpInstallInfo* GetInstance();
  virtual ~HttpInstallInfo() = default;

  // Runs the whole exchange; true when an answer was accepted (then the four
  // answer fields were set together). Called on the check worker.
  bool RequestInstallInfo();
  // Reads channel and epCode from NetLink.ini and reports event 9.
  void GetNetLinkInfo();

  // The request body for the given channel and enterprise code (UTF-8).
  static std::string BuildRequestBody(const std::string& channel, const std::string& epCode);

  // Forgets answer and link values (tests).
  void ResetForTest();

  // The answer record; written only by RequestInstallInfo, read by the pipeline.
  std::wstring m_strVersion;
  std::wstring m_strDownUrl;
  int64_t m_nSize = 0;
  int64_t m_nCrc = 0;
  std::wstring m_strChannel;
  std::wstring m_strEpCode;

  HttpInstallInfo(const HttpInstallInfo&) = delete;
  HttpInstallInfo& operator=(const HttpInstallInfo&) = delete;

 private:
  HttpInstallInfo() = default;
};

// Signed 64-bit decimal: leading white space skipped, one sign, stops at the
// first non-digit; false without digits or outside the 64-bit range.
bool ParseDecimalInt64(const std::string& text, int64_t* out);

// Reading of the service's answer (the response's last line), without side
// effects; RequestInstallInfo logs and reports by the result.
enum class InstallAnswerResult { kAccepted, kNotJson, kNotObject, kNotSuccess, kDataNotObject, kStateZero, kBadNumbers };
struct InstallAnswer {
  std::wstring version;
  std::wstring downUrl;
  int64_t size = 0;
  int64_t crc = 0;
};
InstallAnswerResult ParseInstallAnswer(const std::string& text, InstallAnswer* answer);
