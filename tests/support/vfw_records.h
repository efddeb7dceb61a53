#pragma once
// The stream records a test hands to the AVIFile layer when it writes a file by hand.

#include "platform/vfw/vfw.h"

namespace testing_support {

/// A video stream at rate / scale frames a second, default quality, nothing else set.
inline AVISTREAMINFOA VideoStreamInfo(DWORD rate, DWORD scale) {
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwRate = rate;
  info.dwScale = scale;
  info.dwQuality = 0xFFFFFFFF;
  return info;
}

/// Uncompressed 32-bit frames of width x height, rows bottom-up.
inline BITMAPINFOHEADER Format32(int width, int height) {
  BITMAPINFOHEADER format{};
  format.biSize = sizeof format;
  format.biWidth = width;
  format.biHeight = height;
  format.biPlanes = 1;
  format.biBitCount = 32;
  format.biCompression = BI_RGB;
  return format;
}

}  // namespace testing_support
