#pragma once
// The AVI file calls the output pass and the compressor probe make, under their Video for
// Windows names, as a thin layer over the media core (media/avi_writer.h, avi_reader.h). The
// records carry what the pass fills in: the rate, the frame size and the compressor.

#include <string>

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
  DWORD dwScale;
  DWORD dwRate;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality;
  RECT rcFrame;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
};

struct AVICOMPRESSOPTIONS {
  FOURCC fccType;
  FOURCC fccHandler;
  DWORD dwKeyFrameEvery;
  DWORD dwQuality;
  DWORD dwFlags;
  DWORD dwInterleaveEvery;
};

constexpr FOURCC streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
constexpr DWORD BI_RGB = 0;
constexpr DWORD AVISTREAMINFO_FORMATCHANGES = 0x00010000;
constexpr DWORD AVICOMPRESSF_VALID = 0x00000008;
constexpr DWORD AVIIF_KEYFRAME = 0x00000010;
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_CREATE = 0x1000;

constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_BADFORMAT = static_cast<HRESULT>(0x80044066);
constexpr HRESULT AVIERR_BADPARAM = static_cast<HRESULT>(0x8004406A);
constexpr HRESULT AVIERR_FILEWRITE = static_cast<HRESULT>(0x8004406E);
constexpr HRESULT AVIERR_FILEOPEN = static_cast<HRESULT>(0x8004406F);
constexpr HRESULT AVIERR_NOCOMPRESSOR = static_cast<HRESULT>(0x80044071);
constexpr HRESULT AVIERR_NODATA = static_cast<HRESULT>(0x80044073);

/// A file owns its streams: they go when the file is released.
struct AviFile;
struct AviStream;
using PAVIFILE = AviFile*;
using PAVISTREAM = AviStream*;

/// Nothing to set up or tear down.
inline void AVIFileInit() {}
inline void AVIFileExit() {}

/// OF_WRITE | OF_CREATE: an AviWriter on szFile, which is created when missing and keeps its
/// bytes until a stream's format is set. OF_READ: an AviReader on an existing AVI file.
/// AVIERR_FILEOPEN when the file cannot be opened.
HRESULT AVIFileOpenA(PAVIFILE* ppfile, LPCSTR szFile, UINT uMode, void* lpHandler);

/// The one video stream of a file opened for writing, its rate dwRate / dwScale.
HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppavi, AVISTREAMINFOA* psi);

/// A stream of the same file whose frames go through the catalogue's compressor with code
/// lpOptions->fccHandler at quality dwQuality; AVIERR_NOCOMPRESSOR when none has that code.
HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM psSource,
                                AVICOMPRESSOPTIONS* lpOptions, void* pclsidHandler);

/// The frame format (a 32-bit BI_RGB BITMAPINFOHEADER, rows bottom-up for a positive
/// biHeight): starts the writer, which opens the compressor and writes the header.
/// AVIERR_BADFORMAT when the writer refuses it (a size the compressor cannot take).
HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG lPos, void* lpFormat, LONG cbFormat);

/// Marks the frames about to be written as a matte (before AVIStreamSetFormat): the
/// compressor codes them grey or opaque (VideoFormat::matte).
void AVIStreamSetMatte(PAVISTREAM pavi);

/// Writes one frame at sample lStart; AVIIF_KEYFRAME codes it on its own. AVIERR_FILEWRITE
/// when the file cannot take it; the frames before it stay whole.
HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer,
                       DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten);

/// Finishes the stream's file (AviWriter::Finish). AVIERR_FILEWRITE when that failed; the
/// file is still whole with the frames that reached it.
HRESULT AVIStreamFinish(PAVISTREAM pavi);

/// The frames in the stream's file so far; after AVIStreamFinish, the frames the finished file
/// holds (a compressor may hand a frame over some writes after it was given).
LONG AVIStreamLength(PAVISTREAM pavi);

/// The video stream of a file opened for reading (lParam 0), which carries the file's frame
/// size to AVISaveOptions. AVIERR_NODATA otherwise.
HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam);

/// Asks the installed CompressorChooser (compressor_chooser.h). Its answer: 1 when accepted,
/// with fccType, fccHandler, dwQuality and AVICOMPRESSF_VALID set in *plpOptions[0]; anything
/// else (0 when cancelled or when no chooser is installed) leaves the options untouched.
int AVISaveOptions(HWND hwnd, UINT uiFlags, int nStreams, PAVISTREAM* ppavi,
                   AVICOMPRESSOPTIONS** plpOptions);

/// A stream goes with its file: this does nothing.
unsigned long AVIStreamRelease(PAVISTREAM pavi);
/// Frees the file and its streams; a written file started and not finished is finished here,
/// its result unheard (AVIStreamFinish tells it).
unsigned long AVIFileRelease(PAVIFILE pfile);

/// Version 1.10: major version in bits 24-31, minor in bits 16-23.
inline DWORD VideoForWindowsVersion() { return 0x010A0000; }

/// Why the last call of this layer that failed on this thread failed, in the media core's
/// words: "cannot open /clips/out.avi for writing: Permission denied".
std::string AviLastFailure();
