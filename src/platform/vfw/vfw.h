#pragma once
// The AVIFile interface of Video for Windows: its published records, its handles and the
// operations the converter calls. Records keep the platform's field order and widths, so a
// header built here is the header that lands in the file.

#include <cstddef>

#include "platform/mfc/win_types.h"

using HRESULT = LONG;
using HWND = void*;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct AVISTREAMINFOA {
  FOURCC fccType;
  FOURCC fccHandler;
  DWORD dwFlags;
  DWORD dwCaps;
  WORD wPriority;
  WORD wLanguage;
  DWORD dwScale;
  DWORD dwRate;
  DWORD dwStart;
  DWORD dwLength;
  DWORD dwInitialFrames;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality;
  DWORD dwSampleSize;
  RECT rcFrame;
  DWORD dwEditCount;
  DWORD dwFormatChangeCount;
  char szName[64];
};
static_assert(sizeof(AVISTREAMINFOA) == 140, "AVISTREAMINFOA is 140 bytes");

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

struct AVICOMPRESSOPTIONS {
  FOURCC fccType;
  FOURCC fccHandler;
  DWORD dwKeyFrameEvery;
  DWORD dwQuality;
  DWORD dwBytesPerSecond;
  DWORD dwFlags;
  void* lpFormat;
  DWORD cbFormat;
  void* lpParms;
  DWORD cbParms;
  DWORD dwInterleaveEvery;
};
static_assert(offsetof(AVICOMPRESSOPTIONS, lpFormat) % alignof(void*) == 0,
              "AVICOMPRESSOPTIONS keeps native pointer alignment");

constexpr FOURCC streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
constexpr DWORD BI_RGB = 0;
constexpr DWORD AVISTREAMINFO_FORMATCHANGES = 0x00010000;
constexpr DWORD AVICOMPRESSF_VALID = 0x00000008;
constexpr DWORD AVIIF_KEYFRAME = 0x00000010;
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_CREATE = 0x1000;

constexpr HRESULT AVIERR_OK = 0;
// Failures carry the platform's error codes (MAKE_AVIERR(n) = 0x80044000 | n).
constexpr HRESULT AVIERR_UNSUPPORTED = static_cast<HRESULT>(0x80044065);
constexpr HRESULT AVIERR_BADFORMAT = static_cast<HRESULT>(0x80044066);
constexpr HRESULT AVIERR_MEMORY = static_cast<HRESULT>(0x80044067);
constexpr HRESULT AVIERR_INTERNAL = static_cast<HRESULT>(0x80044068);
constexpr HRESULT AVIERR_BADPARAM = static_cast<HRESULT>(0x80044072);
constexpr HRESULT AVIERR_NODATA = static_cast<HRESULT>(0x80044073);
constexpr HRESULT AVIERR_FILEREAD = static_cast<HRESULT>(0x8004406D);
constexpr HRESULT AVIERR_FILEWRITE = static_cast<HRESULT>(0x8004406E);
constexpr HRESULT AVIERR_FILEOPEN = static_cast<HRESULT>(0x8004406F);

struct AviFile;
struct AviStream;
using PAVIFILE = AviFile*;
using PAVISTREAM = AviStream*;

void AVIFileInit();
void AVIFileExit();

/// Opens szFile: OF_WRITE | OF_CREATE creates or empties it for writing, OF_READ opens an
/// existing AVI file for reading. 0 on success.
HRESULT AVIFileOpenA(PAVIFILE* ppfile, LPCSTR szFile, UINT uMode, void* lpHandler);

/// A new uncompressed stream of pfile described by psi. 0 on success.
HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppavi, AVISTREAMINFOA* psi);

/// A stream that compresses what is written into it with the compressor the options name
/// (lpOptions->fccHandler) before it reaches source. 0 on success.
HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM psSource,
                                AVICOMPRESSOPTIONS* lpOptions, void* pclsidHandler);

/// The stream's frame format: a BITMAPINFOHEADER of cbFormat (40) bytes. 0 on success.
HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG lPos, void* lpFormat, LONG cbFormat);

/// Writes lSamples frames (here always 1) at sample lStart from lpBuffer, cbBuffer bytes.
/// 0 on success.
HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer,
                       LONG cbBuffer, DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten);

/// The lParam-th stream of type fccType (0: any type) of a file opened for reading.
HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam);

/// Lets the user choose a compressor for the streams; 1 when accepted (the options filled).
int AVISaveOptions(HWND hwnd, UINT uiFlags, int nStreams, PAVISTREAM* ppavi,
                   AVICOMPRESSOPTIONS** plpOptions);

unsigned long AVIStreamRelease(PAVISTREAM pavi);
unsigned long AVIFileRelease(PAVIFILE pfile);

/// The Video for Windows version word: major version in bits 24-31, minor in bits 16-23.
DWORD VideoForWindowsVersion();
