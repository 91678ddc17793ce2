// Readers for the value syntax of skin attributes (bool, integer, pair, rectangle,
// colour, attribute lists), shared by the skin builder and every control.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/WinTypes.h"

namespace SkinUI {

// True exactly for "true".
bool ParseBool(const wchar_t* value);
// Decimal like wcstol: leading blanks and a sign allowed, stops at the first non-digit.
int ParseInt(const wchar_t* value);
// Consecutive integers, each separator one character that is skipped unchecked.
// False (and `out` unchanged) when a number is missing.
bool ParsePair(const wchar_t* value, SIZE& out);
bool ParseRect(const wchar_t* value, RECT& out);
// Optional '#', then hexadecimal 0xAARRGGBB; `skipBlanks` also skips blanks before '#'.
uint32_t ParseColor(const wchar_t* value, bool skipBlanks = false);
// "<n>" becomes CR LF.
std::wstring ParseToolTipText(const wchar_t* value);
// `name="value"` pairs separated by one blank; stops silently at the first malformed
// pair. Calls `apply` for each pair read.
void ParseAttributeList(const wchar_t* list,
                        const std::function<void(const std::wstring&, const std::wstring&)>& apply);

}  // namespace SkinUI
