// The install-info request to the service and the rules for its answer.
#include "decision/HttpInstallInfo.h"

#include <json/json.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "app/InstallerIni.h"
#include "app/Log.h"
#include "comm/Deployment.h"
#include "comm/HttpLibRequest.h"
#include "platform/Text.h"
#include "report/InstallerReportData.h"

namespace {

const wchar_t kFile[] = L"HttpInstallInfo";
const wchar_t kRequestFn[] = L"HttpInstallInfo::RequestInstallInfo";
const char kPath[] = "/pc/UpdateRequest";
constexpr int kEventLinkRead = 9;
constexpr int kEventBadAnswer = 7;

std::mutex g_instanceLock;
HttpInstallInfo* g_instance = nullptr;

// A value placed inside JSON quotes: quotation marks, backslashes and control
// characters escaped, everything else (UTF-8 included) as it is.
std::string JsonEscape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char esc[8];
          std::snprintf(esc, sizeof(esc), "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

// Member by name with the required type; otherwise the empty value.
std::string StringMember(const Json::Value& object, const char* name) {
  if (!object.isObject() || !object.isMember(name)) return std::string();
  const Json::Value& v = object[name];
  return v.isString() ? v.asString() : std::string();
}

bool BoolMember(const Json::Value& object, const char* name) {
  if (!object.isObject() || !object.isMember(name)) return false;
  const Json::Value& v = object[name];
  return v.isBool() && v.asBool();
}

bool IsStringMember(const Json::Value& object, const char* name) {
  return object.isObject() && object.isMember(name) && object[name].isString();
}

// The last piece of the response after cutting at every CR LF.
std::string LastPiece(const std::string& response) {
  const size_t cut = response.rfind("\r\n");
  return cut == std::string::npos ? response : response.substr(cut + 2);
}

bool ParseJson(const std::string& text, Json::Value* root) {
  Json::CharReaderBuilder builder;
  builder["failIfExtra"] = true;  // text after the document is not an answer
  builder["collectComments"] = false;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  return reader->parse(text.data(), text.data() + text.size(), root, &errors);
}

std::wstring FromUtf8OrEmpty(const std::string& text) {
  return platform::IsValidUtf8(text) ? platform::Utf8ToWide(text) : std::wstring();
}

}  // namespace

bool ParseDecimalInt64(const std::string& text, int64_t* out) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno == ERANGE) return false;
  *out = static_cast<int64_t>(v);
  return true;
}

HttpInstallInfo* HttpInstallInfo::GetInstance() {
  std::lock_guard<std::mutex> lock(g_instanceLock);
  if (!g_instance) g_instance = new HttpInstallInfo();  // lives until the process ends
  return g_instance;
}

void HttpInstallInfo::ResetForTest() {
  m_strVersion.clear();
  m_strDownUrl.clear();
  m_nSize = 0;
  m_nCrc = 0;
  m_strChannel.clear();
  m_strEpCode.clear();
}

std::string HttpInstallInfo::BuildRequestBody(const std::string& channel, const std::string& epCode) {
  const std::string head = "{\t\"product\": 6,\t\"version\" : \"0.0.0.0\" ";
  if (channel.empty() && epCode.empty()) return head + "}";
  std::string body = head + ", ";
  if (!channel.empty()) {
    body += "\"channelNo\" :  \"" + JsonEscape(channel) + "\"";
    if (!epCode.empty()) body += ",";
  }
  if (!epCode.empty()) body += "\"epCode\" :  \"" + JsonEscape(epCode) + "\"";
  return body + "}";
}

void HttpInstallInfo::GetNetLinkInfo() {
  CInstallerIni* ini = CInstallerIni::GetInstance();
  m_strChannel = ini->GetValue(NetLinkIni, Channel, L"");
  m_strEpCode = ini->GetValue(NetLinkIni, EpCode, L"");
  CInstallerReportData::GetInstance()->ReportEvent(kEventLinkRead, platform::WideToUtf8(m_strChannel),
                                                   platform::WideToUtf8(m_strEpCode));
  LogWrite(Info, kFile, 95, L"HttpInstallInfo::GetNetLinkInfo", L"channel=%s epcode=%s", m_strChannel.c_str(),
           m_strEpCode.c_str());
}

bool HttpInstallInfo::RequestInstallInfo() {
  GetNetLinkInfo();
  LogWrite(Info, kFile, 102, kRequestFn, L" Get /pc/UpdateRequest Start");

  const std::string body = BuildRequestBody(platform::WideToUtf8(m_strChannel), platform::WideToUtf8(m_strEpCode));
  std::string response;
  HttpPost(GetApiHost(), kPath, std::map<std::string, std::string>(), body.c_str(), response);
  const int bodyLine = m_strChannel.empty() && m_strEpCode.empty() ? 106 : 140;
  LogWrite(Info, kFile, bodyLine, kRequestFn, L" Get /pc/UpdateRequest Start PostMessage[%s]",
           platform::Utf8ToWide(body).c_str());

  const std::string last = LastPiece(response);
  LogWrite(Info, kFile, 144, kRequestFn, L" Get /pc/UpdateRequest response[%s] ", platform::Utf8ToWide(last).c_str());

  InstallAnswer answer;
  switch (ParseInstallAnswer(last, &answer)) {
    case InstallAnswerResult::kNotJson:
      CInstallerReportData::GetInstance()->ReportEvent(kEventBadAnswer, "0", "");
      LogWrite(Error, kFile, 156, kRequestFn, L" Get /pc/UpdateRequest readerUpdate.parse false");
      return false;
    case InstallAnswerResult::kNotObject:
      LogWrite(Error, kFile, 160, kRequestFn, L" Get /pc/UpdateRequest Failed  answer is not an object");
      return false;
    case InstallAnswerResult::kNotSuccess:
      LogWrite(Error, kFile, 175, kRequestFn, L" Get /pc/UpdateRequest Failed  isSuccess false");
      return false;
    case InstallAnswerResult::kDataNotObject:
      LogWrite(Error, kFile, 179, kRequestFn, L" Get /pc/UpdateRequest Failed  data is not an object");
      return false;
    case InstallAnswerResult::kStateZero:
      LogWrite(Error, kFile, 183, kRequestFn, L" Get /pc/UpdateRequest Failed  state 0");
      return false;
    case InstallAnswerResult::kBadNumbers:
      LogWrite(Error, kFile, 187, kRequestFn, L" Get /pc/UpdateRequest Failed  size or crc unreadable");
      return false;
    case InstallAnswerResult::kAccepted:
      break;
  }
  m_strVersion = answer.version;
  m_strDownUrl = answer.downUrl;
  m_nSize = answer.size;
  m_nCrc = answer.crc;
  return true;
}

InstallAnswerResult ParseInstallAnswer(const std::string& text, InstallAnswer* answer) {
  Json::Value root;
  if (!ParseJson(text, &root)) return InstallAnswerResult::kNotJson;
  if (!root.isObject()) return InstallAnswerResult::kNotObject;
  if (!BoolMember(root, "isSuccess")) return InstallAnswerResult::kNotSuccess;
  Json::Value data(Json::objectValue);
  if (root.isMember("data")) {
    if (!root["data"].isObject()) return InstallAnswerResult::kDataNotObject;
    data = root["data"];
  }
  if (IsStringMember(data, "state") && data["state"].asString() == "0") return InstallAnswerResult::kStateZero;
  int64_t size = 0;
  int64_t crc = 0;
  if (!IsStringMember(data, "size") || !ParseDecimalInt64(data["size"].asString(), &size) ||
      !IsStringMember(data, "crc") || !ParseDecimalInt64(data["crc"].asString(), &crc)) {
    return InstallAnswerResult::kBadNumbers;
  }
  answer->version = FromUtf8OrEmpty(StringMember(data, "version"));
  answer->downUrl = FromUtf8OrEmpty(StringMember(data, "downUrl"));
  answer->size = size;
  answer->crc = crc;
  return InstallAnswerResult::kAccepted;
}
