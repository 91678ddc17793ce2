// Machine identity: which adapters count and in what order, the sysfs kind
// of an interface, the MAC and run identifier texts.
#include "report/MachineIdentity.h"

#include <gtest/gtest.h>

#include <cctype>

#include "support/ScratchEnv.h"

namespace {

// True when `text` has the shape of `pattern`: 'h' a lower-case hex digit,
// 'H' an upper-case one, 'd' a decimal digit; other characters stand for themselves.
bool Shaped(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char p = pattern[i];
    const bool ok = p == 'h'   ? (std::isdigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f'))
                    : p == 'H' ? (std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))
                    : p == 'd' ? std::isdigit(static_cast<unsigned char>(c)) != 0
                               : c == p;
    if (!ok) return false;
  }
  return true;
}

bool IsDottedQuad(const std::string& ip) {
  int parts = 0;
  size_t pos = 0;
  while (pos <= ip.size()) {
    size_t dot = ip.find('.', pos);
    if (dot == std::string::npos) dot = ip.size();
    const std::string part = ip.substr(pos, dot - pos);
    if (part.empty() || part.size() > 3 || !Shaped(part, std::string(part.size(), 'd')) || std::stoi(part) > 255) {
      return false;
    }
    ++parts;
    pos = dot + 1;
  }
  return parts == 4;
}

using platform::AdapterInfo;
using platform::kAdapterEthernet;
using platform::kAdapterOther;
using platform::kAdapterWireless;

TEST(MachineIdentityTest, AdapterIpSetRules) {
  const struct {
    const char* what;
    std::vector<AdapterInfo> adapters;
    std::vector<std::wstring> expected;
  } cases[] = {
      {"no address yet", {{"eth0", kAdapterEthernet, {"0.0.0.0"}}}, {}},
      {"wireless sorts first",
       {{"eth0", kAdapterEthernet, {"192.168.1.20"}}, {"wlan0", kAdapterWireless, {"10.0.0.7"}}},
       {L"10.0.0.7", L"192.168.1.20"}},
      {"other kinds ignored",
       {{"ppp0", kAdapterOther, {"1.1.1.1"}}, {"tun0", kAdapterOther, {"2.2.2.2"}},
        {"eth0", kAdapterEthernet, {"192.168.1.9"}}},
       {L"192.168.1.9"}},
      {"character order, duplicates collapse, loopback dropped",
       {{"eth0", kAdapterEthernet, {"192.168.1.9", "192.168.1.10", "127.0.0.1"}},
        {"eth1", kAdapterEthernet, {"192.168.1.10"}}},
       {L"192.168.1.10", L"192.168.1.9"}},
  };
  for (const auto& c : cases) {
    const std::set<std::wstring> got = AdapterIpSetFrom(c.adapters);
    EXPECT_EQ(std::vector<std::wstring>(got.begin(), got.end()), c.expected) << c.what;
  }
}

TEST(MachineIdentityTest, InterfaceKindFromSysfs) {
  testsupport::ScratchEnv env;
  const std::string sys = env.Path("sys");
  testsupport::WriteFile(sys + "/eth0/type", "1\n");
  testsupport::WriteFile(sys + "/wlan0/type", "1\n");
  testsupport::WriteFile(sys + "/wlan0/wireless/.keep", "");
  testsupport::WriteFile(sys + "/wlp2s0/type", "1\n");
  testsupport::WriteFile(sys + "/wlp2s0/phy80211/.keep", "");
  testsupport::WriteFile(sys + "/lo/type", "772\n");
  testsupport::WriteFile(sys + "/ppp0/type", "512\n");
  EXPECT_EQ(platform::AdapterTypeFromSys(sys, "eth0"), kAdapterEthernet);
  EXPECT_EQ(platform::AdapterTypeFromSys(sys, "wlan0"), kAdapterWireless);
  EXPECT_EQ(platform::AdapterTypeFromSys(sys, "wlp2s0"), kAdapterWireless);
  EXPECT_EQ(platform::AdapterTypeFromSys(sys, "lo"), kAdapterOther);
  EXPECT_EQ(platform::AdapterTypeFromSys(sys, "ppp0"), kAdapterOther);
  EXPECT_EQ(platform::AdapterTypeFromSys(sys, "missing"), kAdapterOther);
}

TEST(MachineIdentityTest, MacText) {
  std::array<unsigned char, 6> mac {};
  ASSERT_TRUE(platform::ParseMacText("02:42:ac:11:00:0f\n", &mac));
  EXPECT_EQ(FormatMac(mac.data()), "02:42:AC:11:00:0F");
  EXPECT_FALSE(platform::ParseMacText("02:42:ac:11:00", &mac));
  EXPECT_FALSE(platform::ParseMacText("", &mac));

  // On this machine: empty, or the 17-character form.
  const std::string own = GetMacAddress();
  if (!own.empty()) {
    EXPECT_TRUE(Shaped(own, "HH:HH:HH:HH:HH:HH")) << own;
  }
}

TEST(MachineIdentityTest, RunIdLayout) {
  platform::Uuid uuid;
  uuid.data1 = 0x12345678;
  uuid.data2 = 0x9abc;
  uuid.data3 = 0x4def;
  const unsigned char d4[8] = {0x01, 0x02, 0x03, 0x04, 0xee, 0xee, 0xee, 0xee};
  std::copy(d4, d4 + 8, uuid.data4);
  EXPECT_EQ(FormatRunId(uuid), "1234567800009abc00004def04030201");

  std::string a, b;
  ASSERT_TRUE(CreateRunId(a));
  ASSERT_TRUE(CreateRunId(b));
  EXPECT_NE(a, b);
  for (const std::string& id : {a, b}) {
    ASSERT_TRUE(Shaped(id, std::string(32, 'h'))) << id;
    EXPECT_EQ(id.substr(8, 4), "0000") << id;
    EXPECT_EQ(id.substr(16, 4), "0000") << id;
    EXPECT_EQ(id[20], '4') << id;  // version 4 in Data3's top nibble
  }
}

TEST(MachineIdentityTest, LocalIpIsDottedDecimalOrEmpty) {
  std::string ip = "stale";
  if (GetLocalIp(ip)) {
    EXPECT_TRUE(IsDottedQuad(ip)) << ip;
  } else {
    EXPECT_EQ(ip, "");
  }
}

}  // namespace
