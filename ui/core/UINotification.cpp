// Time stamps of events and notifications.
#include "ui/core/UINotification.h"

#include <chrono>

namespace SkinUI {

uint32_t UITickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace SkinUI
