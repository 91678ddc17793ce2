// The report line's column split: the columns joined by tabs give the line back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/devservice/ReportCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const auto columns = devservice::SplitColumns(line);
  std::string joined;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].find('\t') != std::string::npos) __builtin_trap();
    if (i > 0) joined += '\t';
    joined += columns[i];
  }
  if (!line.empty() && line.back() == '\t') joined += '\t';
  if (joined != line) __builtin_trap();
  volatile size_t n = devservice::ReportSignature(line).size();
  (void)n;
  return 0;
}
