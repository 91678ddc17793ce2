// Plain value types and constants that keep the Windows-shaped interfaces of the
// installer (rectangles in screen pixels, message-box styles and answers).
#pragma once

#include <cstdint>

struct RECT {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct POINT {
  int32_t x = 0;
  int32_t y = 0;
};

struct SIZE {
  int32_t cx = 0;
  int32_t cy = 0;
};

// Message-box styles and answers (same values as the native API).
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDCLOSE = 8;
