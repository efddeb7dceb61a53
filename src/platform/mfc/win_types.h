#pragma once
// The small vocabulary of Windows types and constants that the conversion logic is written in.

#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using SHORT = std::int16_t;
using LPCSTR = const char*;
using LPCTSTR = const char*;
using FOURCC = DWORD;

/// An icon or cursor: only carried by the logic, drawn by the window that loaded it.
struct IconImage;
using HICON = IconImage*;
using HCURSOR = IconImage*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

/// Packs four characters into a four-character code, first character in the lowest byte:
/// mmioFOURCC('v', 'i', 'd', 's') is the code that reads "vids" in a file.
constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<BYTE>(a)) |
         (static_cast<FOURCC>(static_cast<BYTE>(b)) << 8) |
         (static_cast<FOURCC>(static_cast<BYTE>(c)) << 16) |
         (static_cast<FOURCC>(static_cast<BYTE>(d)) << 24);
}

// Message box styles and the buttons it returns.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_TOPMOST = 0x40000;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONMASK = 0xF0;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

/// The bytes of one 32-bit frame of columns × rows, or -1 when it is empty or does not fit a
/// signed 32-bit count, the width every frame byte count has here: FrameByteCount(1920, 1080)
/// is 8294400, FrameByteCount(65535, 65535) is -1.
constexpr std::int64_t FrameByteCount(std::uint64_t columns, std::uint64_t rows) {
  constexpr std::uint64_t kLimit = 0x7FFFFFFF;
  if (columns == 0 || rows == 0 || columns > kLimit / 4 || rows > kLimit / 4 / columns) return -1;
  return static_cast<std::int64_t>(columns * rows * 4);
}
