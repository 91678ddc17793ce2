// How the statistics side checks an install report: the signature over the
// report line and the line's tab-separated columns.
#pragma once

#include <string>
#include <vector>

namespace devservice {

inline constexpr char kReportPath[] = "/commonReport/report";
inline constexpr char kProjectId[] = "RizEdere";
inline constexpr char kBusinessId[] = "ZadavAVOruzA2";

// The "sign" header a report with this body must carry: MD5 (32 upper-case hex
// digits) of key + projectId + "|" + businessId + "|" + body + key.
std::string ReportSignature(const std::string& body);

// The columns of a report line; each column ends with a tab, so a trailing tab
// closes the last column and adds no empty one. Text after the last tab is a
// final (unterminated) column.
std::vector<std::string> SplitColumns(const std::string& line);

}  // namespace devservice
