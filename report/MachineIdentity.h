// The machine identity that every report carries: the main adapter's MAC, a
// random identifier for this run, and the local IPv4 address.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/NetInfo.h"

// IPv4 texts of the Ethernet and wireless adapters, ordered by character
// code, without "0.0.0.0" and "127.0.0.1".
std::set<std::wstring> GetAdapterIpSet();
std::set<std::wstring> AdapterIpSetFrom(const std::vector<platform::AdapterInfo>& adapters);

// "AA:BB:CC:DD:EE:FF" of the adapter owning the smallest address; empty when
// there is none.
std::string GetMacAddress();
std::string FormatMac(const unsigned char mac[6]);

// 32 lower-case hex digits from a fresh UUID; false (and empty) without one.
bool CreateRunId(std::string& id);
std::string FormatRunId(const platform::Uuid& uuid);

// The first IPv4 address of the host name; false (and empty) on failure.
bool GetLocalIp(std::string& ip);
