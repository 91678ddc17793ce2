// Signed install reports to the statistics service.
#include "report/InstallerReportData.h"

#include <cstdio>
#include <map>
#include <vector>

#include "app/Log.h"
#include "comm/Deployment.h"
#include "comm/HttpLibRequest.h"
#include "platform/Text.h"
#include "report/MD5.h"
#include "report/MachineIdentity.h"

namespace {

const char kSignKey[] = "7PQE3VDRXK5MUGTB9YCN";
const char kProjectId[] = "RizEdere";
const char kBusinessId[] = "ZadavAVOruzA2";
const char kReportPath[] = "/commonReport/report";
constexpr size_t kDataPieces = 5;

// Pieces between tabs; a trailing tab ends the split, an inner empty piece counts.
std::vector<std::string> SplitTabs(const std::string& data) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  while (pos < data.size()) {
    const size_t tab = data.find('\t', pos);
    if (tab == std::string::npos) {
      pieces.push_back(data.substr(pos));
      break;
    }
    pieces.push_back(data.substr(pos, tab - pos));
    pos = tab + 1;
  }
  return pieces;
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm t {};
  localtime_r(&now, &t);
  return t;
}

// The log format takes the host literally: a "%" in it must not act as a conversion.
std::wstring EscapePercent(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    out += c;
    if (c == L'%') out += L'%';
  }
  return out;
}

}  // namespace

CInstallerReportData* CInstallerReportData::s_instance = nullptr;
std::mutex CInstallerReportData::s_lock;

CInstallerReportData* CInstallerReportData::GetInstance() {
  // Created under the lock; after that only read.
  std::lock_guard<std::mutex> lock(s_lock);
  if (!s_instance) s_instance = new CInstallerReportData();
  return s_instance;
}

CInstallerReportData::CInstallerReportData() {
  Init();
  m_strMac = GetMacAddress();
}

bool CInstallerReportData::Init() {
  CreateRunId(m_strRunId);
  GetLocalIp(m_strLocalIp);
  return true;
}

void CInstallerReportData::SetClockForTest(std::function<std::tm()> clock) { m_clock = std::move(clock); }

void CInstallerReportData::ReportEvent(int code, const std::string& text1, const std::string& text2) {
  ReportData(std::to_string(kReportType) + "\t" + std::to_string(code) + "\t" + text1 + "\t" + text2 + "\t");
}

std::string CInstallerReportData::BuildLine(const std::string& data) const {
  const std::tm t = m_clock ? m_clock() : LocalNow();
  char time[64] = {};
  std::snprintf(time, sizeof(time), "%d.%02d.%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  std::string line = std::string(time) + "\t";
  for (const std::string* column : {&m_strRunId, &m_strMac, &m_strExtra1, &m_strExtra2, &m_strLocalIp}) {
    line += *column + "\t";
  }
  line += "\t";  // the empty seventh column
  std::vector<std::string> pieces = SplitTabs(data);
  if (pieces.size() > kDataPieces) pieces.resize(kDataPieces);
  while (pieces.size() < kDataPieces) pieces.push_back("\t");
  for (const std::string& piece : pieces) line += piece + "\t";
  line += m_strExtra3 + "\t";
  return line;
}

bool CInstallerReportData::ReportData(const std::string& data) {
  // Narrow text is UTF-8 already, so signature and body need no conversion.
  const std::string line = BuildLine(data);
  const std::string signInput = std::string(kSignKey) + kProjectId + "|" + kBusinessId + "|" + line + kSignKey;
  const std::string sign = Md5HexUpper(signInput);

  const std::string host = GetReportHost();
  const std::map<std::string, std::string> headers = {
      {"sign", sign}, {"projectId", kProjectId}, {"businessId", kBusinessId}};
  std::string response;
  HttpPost(host, kReportPath, headers, line.c_str(), response);

  const std::wstring format =
      L"Post " + EscapePercent(platform::Utf8ToWide(host)) + L"  /commonReport/report [%s]  response[%s]";
  LogWrite(Info, L"InstallerReportData", __LINE__, L"CInstallerReportData::ReportData", format.c_str(),
           platform::Utf8ToWide(line).c_str(), platform::Utf8ToWide(response).c_str());
  return true;
}
