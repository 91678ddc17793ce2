// The install report sender: one signed, tab-separated line per event, posted
// to the report host. Fire-and-forget: the answer only goes to the log.
#pragma once

#include <ctime>
#include <functional>
#include <mutex>
#include <string>

// Report type of every event the installer sends.
inline constexpr int kReportType = 28;

class CInstallerReportData {
 public:
  static CInstallerReportData* GetInstance();

  // Fills the run identifier and the local IP; always true.
  virtual bool Init();
  virtual void Reserved() {}
  virtual bool Reserved(int) { return true; }
  virtual ~CInstallerReportData() = default;

  // Sends "28\t<code>\t<text1>\t<text2>\t"; returns when the post is over.
  void ReportEvent(int code, const std::string& text1, const std::string& text2);
  // Builds, signs and posts the line for `data`; always true.
  bool ReportData(const std::string& data);

  const std::string& MacText() const { return m_strMac; }
  const std::string& RunId() const { return m_strRunId; }
  const std::string& LocalIp() const { return m_strLocalIp; }

  // Local time source (tests); an empty function restores the real clock.
  void SetClockForTest(std::function<std::tm()> clock);

  CInstallerReportData(const CInstallerReportData&) = delete;
  CInstallerReportData& operator=(const CInstallerReportData&) = delete;

 private:
  CInstallerReportData();
  std::string BuildLine(const std::string& data) const;

  std::string m_strMac;
  std::string m_strRunId;
  std::string m_strExtra1;
  std::string m_strExtra2;
  std::string m_strLocalIp;
  std::string m_strExtra3;
  std::function<std::tm()> m_clock;

  static CInstallerReportData* s_instance;
  static std::mutex s_lock;
};
