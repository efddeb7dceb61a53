#include "avi/stream_headers.h"

#include <cmath>

void StreamRate(float rate, DWORD* dwRate, DWORD* dwScale) {
  const double value = rate;
  if (!(value > 0.0 && value < 1e6)) {
    *dwRate = 0;
    *dwScale = 1;
    return;
  }
  if (std::floor(value) == value) {
    *dwRate = static_cast<DWORD>(value);
    *dwScale = 1;
    return;
  }
  // 29.97 is meant as 30000/1001; truncating it to 29 would play 3 % slow.
  *dwRate = static_cast<DWORD>(std::lround(value * 1001.0));
  *dwScale = 1001;
}

void BuildStreamHeaders(ConversionJob& job) {
  AVISTREAMINFOA& info = job.streamInfo;
  info = AVISTREAMINFOA{};
  info.fccType = streamtypeVIDEO;
  info.fccHandler = 0;
  info.dwFlags = AVISTREAMINFO_FORMATCHANGES;
  info.dwRate = job.rate.num;
  info.dwScale = job.rate.den;
  info.dwSuggestedBufferSize = static_cast<DWORD>(job.frameByteSize);
  info.dwQuality = 0xFFFFFFFF;
  info.rcFrame = RECT{0, 0, job.width, job.height};

  AVICOMPRESSOPTIONS& options = job.options;
  options = AVICOMPRESSOPTIONS{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = 0;
  options.dwKeyFrameEvery = 0xFFFFFFFF;
  options.dwQuality = 0xFFFFFFFF;
  options.dwFlags = AVICOMPRESSF_VALID;
  options.dwInterleaveEvery = 1;

  BITMAPINFOHEADER& header = job.bitmapHeader;
  header = BITMAPINFOHEADER{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = job.width;
  header.biHeight = job.height;  // positive: rows bottom-up, as the frame buffer holds them
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = 0;
}
