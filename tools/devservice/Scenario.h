// The demo service's scenario file: a small INI read afresh on every request,
// so a test can change the service's behaviour between two installer runs.
#pragma once

#include <map>
#include <string>

namespace devservice {

class Scenario {
 public:
  // A missing or unreadable file gives an empty scenario (all defaults).
  static Scenario Load(const std::string& path);
  static Scenario Parse(const std::string& text);

  // The value of `key` in `section`; "key.<scheme>" (scheme "https" or "http")
  // wins over the plain key when present. Section and key are case-insensitive.
  std::string Get(const std::string& section, const std::string& key, const std::string& scheme,
                  const std::string& def) const;
  bool Has(const std::string& section, const std::string& key, const std::string& scheme) const;
  // A decimal value; `def` when absent or not a number.
  long long GetInt(const std::string& section, const std::string& key, const std::string& scheme,
                   long long def) const;

 private:
  const std::string* Find(const std::string& section, const std::string& key,
                          const std::string& scheme) const;
  std::map<std::string, std::string> m_values;  // "section/key" in lower case
};

// Turns the escapes \r \n \t \\ of a scenario value into their characters.
std::string Unescape(const std::string& value);

}  // namespace devservice
