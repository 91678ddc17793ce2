// The download client: streams the client package to a local file with
// progress, HTTPS first (verification always on, 300-second connection
// timeout) and plain HTTP only when the HTTPS attempt got no response.
#pragma once

#include <cstdint>
#include <string>

// Progress sink: (total bytes, bytes received so far); the answer is ignored.
// Called on the downloading thread for every block received.
using DownloadProgressFn = int (*)(uint64_t total, uint64_t received);

// Result codes.
inline constexpr int kDownOk = 0;           // the transfer ran (any status, any length)
inline constexpr int kDownFileError = -1;   // the local file could not be opened, or no path
inline constexpr int kDownNoResponse = -2;  // HTTPS got no response (httplib_down_https only)

// The scheme a package URL named. A port written after the host applies to
// that scheme; the other scheme uses the deployment's port. Unknown: the port
// applies to both.
enum class UrlScheme { Unknown, Http, Https };

// Splits "…https://host/path?query" (or "http://"): host = text up to the first
// "/" after the marker, path = the rest from that "/" ("/" when nothing
// follows the host; "/?q" for "host?q"). False, outputs untouched, without a
// marker; the comparison is case-sensitive.
bool SplitUrl(const std::string& url, std::string& host, std::string& path,
              UrlScheme* scheme = nullptr);

// HTTPS with the packaged CA bundle, then plain HTTP on no response.
// 0 or -1; a -1 (unwritable file) comes back without any network traffic.
int httplib_down_muti(const char* host, const char* path, const wchar_t* localFile,
                      DownloadProgressFn progress = nullptr, UrlScheme scheme = UrlScheme::Unknown);
// caFile may be null (then no CA file is set, verification stays on).
int httplib_down_https(const char* host, const char* path, const wchar_t* localFile,
                       const char* caFile, DownloadProgressFn progress = nullptr,
                       UrlScheme scheme = UrlScheme::Unknown);
// 0 whether or not a response arrived; -1 for an empty or unwritable path.
int httplib_down_http(const char* host, const char* path, const wchar_t* localFile,
                      DownloadProgressFn progress = nullptr, UrlScheme scheme = UrlScheme::Unknown);
