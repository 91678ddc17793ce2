// The installation pipeline: download, check, stop the running client, unpack,
// place the installer's files, register, report, complete page, client start.
#pragma once

#include <cstdint>

#include "install/InstallPage.h"

// The texts a failed installation shows.
extern const wchar_t kErrHttpsDownload[];
extern const wchar_t kErrHttpDownload[];
extern const wchar_t kErrCrc[];
extern const wchar_t kErrStopClient[];
extern const wchar_t kErrStopBrowser[];
// Shown when the package did not unpack whole; nothing is registered then.
extern const wchar_t kErrExtract[];
// The two status texts of the page's "note" label.
extern const wchar_t kNoteDownloading[];
extern const wchar_t kNoteExtracting[];

// The worker body: runs every step once on the calling thread and returns.
// `page` must stay valid until it returns (the page joins the worker before it
// is destroyed); every call on it is fire-and-forget from here.
void RunInstallation(IInstallPage* page);

// Download progress sink: forwards (total, received) to the page that runs the
// installation as a posted SetProcessValue. Always 0; the download cannot be
// cancelled from here.
int OnDownloadProgress(uint64_t total, uint64_t received);
