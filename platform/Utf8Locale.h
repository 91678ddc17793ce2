// A UTF-8 character locale for the calling thread while the object lives.
// libarchive converts entry names through the thread's locale: under "C",
// non-ASCII names are written broken and read back as null.
#pragma once

#include <locale.h>

namespace platform {

class ScopedUtf8Locale {
 public:
  ScopedUtf8Locale() : m_loc(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0))) {
    if (m_loc) m_old = uselocale(m_loc);
  }
  ~ScopedUtf8Locale() {
    if (!m_loc) return;
    uselocale(m_old);
    freelocale(m_loc);
  }
  ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
  ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

 private:
  locale_t m_loc;
  locale_t m_old = static_cast<locale_t>(0);
};

}  // namespace platform
