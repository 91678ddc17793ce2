// The package integrity check: CRC-32 (ISO-HDLC, as zlib computes it) of a file
// compared with the value the service announced.
#pragma once

#include <cstdint>
#include <string>

// Fills the process-wide table (reflected polynomial 0xEDB88320).
void BuildCrcTable();
const uint32_t* CrcTable();

// CRC-32 of the whole file. 0 with *crc set; -1 when the file cannot be opened
// (nothing stored). A read error ends the pass early; the CRC of the bytes read
// so far is stored and 0 returned, so the comparison then fails.
int FileCrc32(const std::wstring& path, uint32_t* crc);

// The package passes when the computed value, widened to 64 bits with zero high
// bits, equals the expected one: an expected value above 0xFFFFFFFF (or below
// zero) never matches.
bool CrcMatches(uint32_t computed, int64_t expected);
