// Unpacks the downloaded client package (a 7z archive) into the installation
// folder, streaming entry by entry through libarchive.
#pragma once

#include "install/InstallPage.h"

// Result: -1 null archive path or output folder that does not exist (nothing
// printed), 0 everything extracted, 1 any other failure (entries written
// before it stay). Console lines go to standard output. `outputDir` null means
// the current folder. Before entry i of n, WM_EXTRACT_PROGRESS with
// wParam = i * 100 / n goes to `progress` (may be null).
//
// Entries never land outside the output folder: absolute names, ".."
// components, a path through a symlink that leads out of the folder and a
// symlink entry pointing out of it are refused with an "ERROR" line and end the
// extraction with 1. Existing files are replaced (unlinked first, so a running
// executable keeps its old image). A stored Unix mode, or the read-only
// attribute, is applied to files (umask respected, no set-id bits).
int ExtractClientArchive(const char* archivePath, const wchar_t* outputDir,
                         IProgressTarget* progress);
