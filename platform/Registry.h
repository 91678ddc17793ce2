// The product's settings store: registry-shaped keys and string values kept in
// UTF-8 text files, one file per root, replaced atomically under a file lock.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct RegKey;  // opaque; handed out by RegCreateKeyW / RegOpenKeyExW
using HKEY = RegKey*;

// Predefined roots. HKEY_CURRENT_USER lives in
// ${XDG_CONFIG_HOME:-$HOME/.config}/Tarvolen/user.reg, HKEY_LOCAL_MACHINE in
// ${XDG_DATA_HOME:-$HOME/.local/share}/Tarvolen/machine.reg (for root
// /var/lib/Tarvolen/machine.reg, see UsesSystemWideLocations). The locations are read from the environment
// on every call.
extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_LOCAL_MACHINE;

// Result codes (the native API's numbers).
constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;      // no such key or value
constexpr long ERROR_ACCESS_DENIED = 5;       // the store cannot be written
constexpr long ERROR_INVALID_HANDLE = 6;
constexpr long ERROR_INVALID_PARAMETER = 87;  // bad name, or data over the size limit
constexpr long ERROR_REGISTRY_CORRUPT = 1015; // the file does not parse (reads only)

constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;
constexpr uint32_t REG_SZ = 1;

// A value's data may hold at most this many bytes of UTF-8.
constexpr std::size_t kMaxRegValueBytes = 1u << 20;

// Creates the key (and its parents) if missing, then opens it for reading and
// writing. Key and value names compare case-insensitively (ASCII letters).
long RegCreateKeyW(HKEY root, const wchar_t* subKey, HKEY* result);
// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
long RegOpenKeyExW(HKEY root, const wchar_t* subKey, uint32_t options, uint32_t access,
                   HKEY* result);
// Stores `data` exactly (no terminating null is kept). `type` is stored as given.
long RegSetValueExW(HKEY key, const wchar_t* valueName, uint32_t reserved, uint32_t type,
                    const std::wstring& data);
// Reads a value whole, whatever its length. `type` may be null.
long RegQueryValueExW(HKEY key, const wchar_t* valueName, uint32_t* type, std::wstring* data);
long RegCloseKey(HKEY key);
// Removes one value; ERROR_FILE_NOT_FOUND when the key or value is missing.
long RegDeleteValueW(HKEY key, const wchar_t* valueName);
// Removes a key with its values. A key that still has subkeys is refused
// (ERROR_ACCESS_DENIED), as the native call does; a missing one gives
// ERROR_FILE_NOT_FOUND.
long RegDeleteKeyW(HKEY root, const wchar_t* subKey);

// The file behind a root (for diagnostics and tests).
std::string RegistryFilePath(HKEY root);

}  // namespace platform
