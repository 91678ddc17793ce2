// The fixed sequence of modal pages the installer runs after start-up.
#pragma once

#include <string>

namespace pages {

// Runs the check page, then by the install type the fallback box, the install
// page or the start / upgrade / repair page, then the progress page. Returns
// the exit code: 0, or 1 when the first page could not be created at all.
int RunPageSequence(const std::string& commandLine);

// The browser download offered when the check fails:
// "https://" + static download host (+ port) + "/person/cloud_pc.7z".
std::string FallbackPackageUrl();

}  // namespace pages
