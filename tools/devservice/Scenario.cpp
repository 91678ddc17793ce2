// Scenario INI reading: "[section]", "key = value", comment lines start with ';' or '#'.
#include "tools/devservice/Scenario.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace devservice {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

Scenario Scenario::Load(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return Scenario();
  std::stringstream ss;
  ss << f.rdbuf();
  return Parse(ss.str());
}

Scenario Scenario::Parse(const std::string& text) {
  Scenario s;
  std::string section;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t.front() == '[' && t.back() == ']') {
      section = Lower(Trim(t.substr(1, t.size() - 2)));
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) continue;
    s.m_values[section + "/" + Lower(Trim(t.substr(0, eq)))] = Trim(t.substr(eq + 1));
  }
  return s;
}

const std::string* Scenario::Find(const std::string& section, const std::string& key,
                                  const std::string& scheme) const {
  const std::string base = Lower(section) + "/" + Lower(key);
  if (!scheme.empty()) {
    auto it = m_values.find(base + "." + Lower(scheme));
    if (it != m_values.end()) return &it->second;
  }
  auto it = m_values.find(base);
  return it == m_values.end() ? nullptr : &it->second;
}

std::string Scenario::Get(const std::string& section, const std::string& key,
                          const std::string& scheme, const std::string& def) const {
  const std::string* v = Find(section, key, scheme);
  return v ? *v : def;
}

bool Scenario::Has(const std::string& section, const std::string& key,
                   const std::string& scheme) const {
  return Find(section, key, scheme) != nullptr;
}

long long Scenario::GetInt(const std::string& section, const std::string& key,
                           const std::string& scheme, long long def) const {
  const std::string* v = Find(section, key, scheme);
  if (!v || v->empty()) return def;
  char* end = nullptr;
  long long n = std::strtoll(v->c_str(), &end, 10);
  return (end && *end == '\0') ? n : def;
}

std::string Unescape(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      char n = value[i + 1];
      if (n == 'r' || n == 'n' || n == 't' || n == '\\') {
        out += n == 'r' ? '\r' : n == 'n' ? '\n' : n == 't' ? '\t' : '\\';
        ++i;
        continue;
      }
    }
    out += value[i];
  }
  return out;
}

}  // namespace devservice
