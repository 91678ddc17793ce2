// Network identity over getifaddrs, /sys/class/net, getrandom and getaddrinfo.
#include "platform/NetInfo.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace platform {
namespace {

const char kSysNet[] = "/sys/class/net";

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string ReadFirstLine(const std::string& path) {
  std::ifstream f(path);
  std::string line;
  std::getline(f, line);
  return line;
}

struct IfAddrsDeleter {
  void operator()(ifaddrs* p) const { freeifaddrs(p); }
};

std::unique_ptr<ifaddrs, IfAddrsDeleter> InterfaceList() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return nullptr;
  return std::unique_ptr<ifaddrs, IfAddrsDeleter>(list);
}

std::string Ipv4Text(const sockaddr* addr) {
  char text[INET_ADDRSTRLEN] = {};
  const auto* in = reinterpret_cast<const sockaddr_in*>(addr);
  if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text))) return std::string();
  return text;
}

}  // namespace

int AdapterTypeFromSys(const std::string& sysRoot, const std::string& name) {
  const std::string dir = sysRoot + "/" + name;
  if (ReadFirstLine(dir + "/type") != "1") return kAdapterOther;
  if (Exists(dir + "/wireless") || Exists(dir + "/phy80211")) return kAdapterWireless;
  return kAdapterEthernet;
}

std::vector<AdapterInfo> GetAdaptersInfo() {
  std::vector<AdapterInfo> adapters;
  auto list = InterfaceList();
  if (!list) return adapters;
  for (ifaddrs* it = list.get(); it; it = it->ifa_next) {
    if (!it->ifa_name) continue;
    AdapterInfo* adapter = nullptr;
    for (AdapterInfo& a : adapters) {
      if (a.name == it->ifa_name) adapter = &a;
    }
    if (!adapter) {
      adapters.push_back(AdapterInfo{it->ifa_name, AdapterTypeFromSys(kSysNet, it->ifa_name), {}});
      adapter = &adapters.back();
    }
    if (it->ifa_addr && it->ifa_addr->sa_family == AF_INET) {
      const std::string ip = Ipv4Text(it->ifa_addr);
      if (!ip.empty()) adapter->ipv4.push_back(ip);
    }
  }
  return adapters;
}

bool ParseMacText(const std::string& text, std::array<unsigned char, 6>* mac) {
  std::string trimmed = text;
  while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back()))) trimmed.pop_back();
  unsigned int b[6];
  char tail = 0;
  if (std::sscanf(trimmed.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5],
                  &tail) != 6) {
    return false;
  }
  for (int i = 0; i < 6; ++i) (*mac)[i] = static_cast<unsigned char>(b[i]);
  return true;
}

bool SendARP(const std::string& ip, std::array<unsigned char, 6>* mac) {
  auto list = InterfaceList();
  if (!list) return false;
  for (ifaddrs* it = list.get(); it; it = it->ifa_next) {
    if (!it->ifa_name || !it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
    if (Ipv4Text(it->ifa_addr) != ip) continue;
    return ParseMacText(ReadFirstLine(std::string(kSysNet) + "/" + it->ifa_name + "/address"), mac);
  }
  return false;
}

bool UuidCreate(Uuid* out) {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof(bytes)) {
    const ssize_t n = getrandom(bytes + got, sizeof(bytes) - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    got += static_cast<size_t>(n);
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);  // RFC 4122 variant
  out->data1 = (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
               (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
  out->data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  out->data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(out->data4, bytes + 8, 8);
  return true;
}

bool GetHostIpv4(std::string* out) {
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) return false;
  addrinfo hints {};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &result) != 0 || !result) return false;
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> guard(result, &freeaddrinfo);
  const std::string ip = Ipv4Text(result->ai_addr);
  if (ip.empty()) return false;
  *out = ip;
  return true;
}

}  // namespace platform
