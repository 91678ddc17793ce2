// The install-info answer rules on arbitrary service answers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decision/HttpInstallInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  InstallAnswer answer;
  if (ParseInstallAnswer(text, &answer) == InstallAnswerResult::kAccepted) {
    volatile size_t n = answer.version.size() + answer.downUrl.size();
    (void)n;
  }
  int64_t value = 0;
  ParseDecimalInt64(text, &value);
  return 0;
}
