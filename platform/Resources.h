// The packaged resources: a table compiled into the executable from res/
// (type name + numeric id -> bytes). A bundle appended to the executable by
// tools/pack is consulted first, so a distributor can replace entries without
// rebuilding.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

struct ResourceBlob {
  const unsigned char* data = nullptr;  // not owned; valid for the process's life
  std::size_t size = 0;
};

// Resource types used by the installer.
inline constexpr const char* kResData = "DATA";
inline constexpr const char* kResPng = "PNG";
inline constexpr const char* kResIcon = "ICON";  // an icon group, stored as an ICO file
inline constexpr const char* kResZip = "ZIPRES";

// Well-known ids.
enum ResourceId : int {
  kIdAppIcon = 101,
  kIdSkinZip = 102,
  kIdCaCert = 104,
  kIdDatIni = 105,
  kIdCloudIcon = 106,
  kIdLeftTitle = 108,
  kIdOemPng = 111,
  kIdBootBackground = 112,
  kIdNetLinkDat = 152,
  kIdDeployIni = 160,
};

// Looks a resource up; false when there is no such entry.
bool FindResource(const std::string& type, int id, ResourceBlob* out);

}  // namespace platform
