// Machine identity for the reports.
#include "report/MachineIdentity.h"

#include <array>
#include <cctype>
#include <cstdio>

#include "platform/Text.h"

std::set<std::wstring> AdapterIpSetFrom(const std::vector<platform::AdapterInfo>& adapters) {
  std::set<std::wstring> ips;
  for (const platform::AdapterInfo& a : adapters) {
    if (a.type != platform::kAdapterEthernet && a.type != platform::kAdapterWireless) continue;
    for (const std::string& ip : a.ipv4) ips.insert(platform::Utf8ToWide(ip));
  }
  ips.erase(L"0.0.0.0");
  ips.erase(L"127.0.0.1");
  return ips;
}

std::set<std::wstring> GetAdapterIpSet() { return AdapterIpSetFrom(platform::GetAdaptersInfo()); }

std::string FormatMac(const unsigned char mac[6]) {
  char text[32] = {};
  std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  std::string upper = text;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

std::string GetMacAddress() {
  const std::set<std::wstring> ips = GetAdapterIpSet();
  if (ips.empty()) return std::string();
  std::string ip = platform::WideToUtf8(*ips.begin());
  if (ip.size() > 31) ip.resize(31);
  std::array<unsigned char, 6> mac {};
  if (!platform::SendARP(ip, &mac)) return std::string();
  return FormatMac(mac.data());
}

std::string FormatRunId(const platform::Uuid& uuid) {
  const uint32_t tail = static_cast<uint32_t>(uuid.data4[0]) | (static_cast<uint32_t>(uuid.data4[1]) << 8) |
                        (static_cast<uint32_t>(uuid.data4[2]) << 16) |
                        (static_cast<uint32_t>(uuid.data4[3]) << 24);
  char text[40] = {};
  std::snprintf(text, sizeof(text), "%08x%08x%08x%08x", uuid.data1, static_cast<uint32_t>(uuid.data2),
                static_cast<uint32_t>(uuid.data3), tail);
  return text;
}

bool CreateRunId(std::string& id) {
  platform::Uuid uuid;
  if (!platform::UuidCreate(&uuid)) {
    id.clear();
    return false;
  }
  id = FormatRunId(uuid);
  return true;
}

bool GetLocalIp(std::string& ip) {
  std::string found;
  if (!platform::GetHostIpv4(&found)) {
    ip.clear();
    return false;
  }
  ip = found;
  return true;
}
