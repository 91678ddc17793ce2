// Small file helpers over POSIX.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

bool IsRegularFile(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
bool DeleteFileW(const std::wstring& path);
// Creates or opens the file and writes all bytes from its start (truncating).
bool WriteWholeFile(const std::wstring& path, const void* data, std::size_t size);
bool ReadWholeFile(const std::wstring& path, std::string* out);
// SetFileAttributesW(FILE_ATTRIBUTE_NORMAL): clears the read-only state.
bool SetFileNormal(const std::wstring& path);
// Creates the folder and all missing parents.
bool CreateDirectories(const std::wstring& path);
// write() until all bytes are out (EINTR retried).
bool WriteAll(int fd, const void* data, std::size_t size);

}  // namespace platform
