// Network identity of this machine: the adapter list (getifaddrs plus the
// interface kind from /sys/class/net), an own address's hardware address, a
// random UUID and the host name's IPv4 address.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Adapter kinds as the installer's origin platform numbers them.
inline constexpr int kAdapterEthernet = 6;
inline constexpr int kAdapterWireless = 71;
inline constexpr int kAdapterOther = 1;

struct AdapterInfo {
  std::string name;                // interface name, e.g. "eth0"
  int type = kAdapterOther;
  std::vector<std::string> ipv4;   // dotted-decimal, in getifaddrs order
};

// The adapters with their IPv4 addresses, in the order the system lists them.
std::vector<AdapterInfo> GetAdaptersInfo();

// The kind of interface `name` from <sysRoot>/<name>: "type" 1 is Ethernet,
// Wireless when it also has a "wireless" or "phy80211" entry; other otherwise.
int AdapterTypeFromSys(const std::string& sysRoot, const std::string& name);

// The hardware address of the interface that owns the IPv4 address `ip`
// (the answer ARP gives for an own address); false when no interface owns it.
bool SendARP(const std::string& ip, std::array<unsigned char, 6>* mac);

// Parses "aa:bb:cc:dd:ee:ff" (the sysfs address format).
bool ParseMacText(const std::string& text, std::array<unsigned char, 6>* mac);

// A random (version 4) UUID in the origin platform's field layout.
struct Uuid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  unsigned char data4[8] = {};
};
bool UuidCreate(Uuid* out);

// The first IPv4 address the host name resolves to; false on failure.
bool GetHostIpv4(std::string* out);

}  // namespace platform
