#pragma once
// The AVI file operations the converter calls, under the names and records of the Video for
// Windows AVIFile interface it was written against: the stream information, the bitmap header
// and the compression options (with their published field order and widths), handles, and
// the calls. FFmpeg writes the file's own headers (vfw_ffmpeg.cpp): of these records it takes
// the rate, the frame size and the compressor; nothing else reaches the file.

#include <cstddef>
#include <cstdint>
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
constexpr HRESULT AVIERR_UNSUPPORTED = static_cast<HRESULT>(0x80044065);     // 101
constexpr HRESULT AVIERR_BADFORMAT = static_cast<HRESULT>(0x80044066);       // 102
constexpr HRESULT AVIERR_MEMORY = static_cast<HRESULT>(0x80044067);          // 103
constexpr HRESULT AVIERR_INTERNAL = static_cast<HRESULT>(0x80044068);        // 104
constexpr HRESULT AVIERR_BADPARAM = static_cast<HRESULT>(0x8004406A);        // 106
constexpr HRESULT AVIERR_BADSIZE = static_cast<HRESULT>(0x8004406B);         // 107
constexpr HRESULT AVIERR_BADHANDLE = static_cast<HRESULT>(0x8004406C);       // 108
constexpr HRESULT AVIERR_FILEREAD = static_cast<HRESULT>(0x8004406D);        // 109
constexpr HRESULT AVIERR_FILEWRITE = static_cast<HRESULT>(0x8004406E);       // 110
constexpr HRESULT AVIERR_FILEOPEN = static_cast<HRESULT>(0x8004406F);        // 111
constexpr HRESULT AVIERR_COMPRESSOR = static_cast<HRESULT>(0x80044070);      // 112
constexpr HRESULT AVIERR_NOCOMPRESSOR = static_cast<HRESULT>(0x80044071);    // 113
constexpr HRESULT AVIERR_READONLY = static_cast<HRESULT>(0x80044072);        // 114
constexpr HRESULT AVIERR_NODATA = static_cast<HRESULT>(0x80044073);          // 115
constexpr HRESULT AVIERR_BUFFERTOOSMALL = static_cast<HRESULT>(0x80044074);  // 116

struct AviFile;
struct AviStream;
using PAVIFILE = AviFile*;
using PAVISTREAM = AviStream*;

/// Where a pass begins and ends its use of AVI files. FFmpeg needs no setup, so these only
/// mark the pass in the call trace that tests read (vfw_trace.h).
void AVIFileInit();
void AVIFileExit();

/// Opens szFile. OF_WRITE | OF_CREATE opens it for writing, creating it when it is missing;
/// an existing file keeps its contents until a stream's format is set (the moment the file is
/// really written), so a file released before that is left as it was. OF_READ opens an
/// existing AVI file for reading. 0 on success; AVIERR_FILEOPEN when the file cannot be
/// opened (a missing folder, a path under a regular file, a file that is not an AVI file).
HRESULT AVIFileOpenA(PAVIFILE* ppfile, LPCSTR szFile, UINT uMode, void* lpHandler);

/// A new uncompressed video stream of a file opened for writing, described by psi (its rate
/// dwRate / dwScale frames per second). A file holds one stream. 0 on success.
HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppavi, AVISTREAMINFOA* psi);

/// A stream that compresses what is written into it with the catalogue's compressor named by
/// lpOptions->fccHandler (dwQuality its quality) before it reaches psSource.
/// AVIERR_NOCOMPRESSOR when no available compressor has that code. 0 on success.
HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM psSource,
                                AVICOMPRESSOPTIONS* lpOptions, void* pclsidHandler);

/// The stream's frame format: a 40-byte BITMAPINFOHEADER of a 32-bit BI_RGB frame, rows
/// bottom-up for a positive biHeight. On a compressed stream this opens the compressor, and
/// AVIERR_BADFORMAT says it cannot take the frame (Microsoft Video 1 and Cinepak need sides
/// that are multiples of 4). Setting it writes the file's header. 0 on success.
HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG lPos, void* lpFormat, LONG cbFormat);

/// Writes one frame (lSamples 1) at sample lStart, no earlier than the samples already written,
/// from lpBuffer of cbBuffer bytes, which must hold a whole frame of the stream's format.
/// AVIIF_KEYFRAME makes the compressor code the frame on its own. 0 on success;
/// AVIERR_FILEWRITE when the file cannot take it (a full disk). A frame is only written where
/// the file has room for it and for its own end (on file systems that allocate ahead, as local
/// ones do), so what a failed write leaves is the frames before it, whole, with room to finish
/// them (AVIStreamFinish). AVIERR_UNSUPPORTED after AVIStreamFinish.
HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer,
                       DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten);

/// Finishes the file of the stream the frames were written to, after the last write or the
/// first failed one: a compressed stream first hands the frames its compressor still holds to
/// the file; then the index and the headers' frame counts are written, the file is cut to its
/// end and closed. 0 when the file holds every frame written, whole; AVIERR_FILEWRITE when
/// something failed: a held frame that found no room (the file is still finished, whole,
/// without it), the index, or the close (a network file system reports a lost write there).
/// Three frames written, the fourth refused by a full disk: the finished file plays three
/// frames. Later calls give the same answer and releases only free. AVIERR_READONLY for a
/// stream read from a file.
HRESULT AVIStreamFinish(PAVISTREAM pavi);

/// The lParam-th stream of type fccType (0: any type) of a file. 0 on success, AVIERR_NODATA
/// when there is none.
HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam);

/// The stream's header: for a stream read from a file, what the file says of it: fccHandler
/// the compressor's code as the file tags it (0 for Full Frames), dwRate / dwScale the frame
/// rate (30000 / 1001), dwLength its frames, rcFrame its size. Copies at most lSize bytes into
/// *psi. 0 on success.
HRESULT AVIStreamInfoA(PAVISTREAM pavi, AVISTREAMINFOA* psi, LONG lSize);

/// The frames a stream read from a file holds: the entries of its index, which are what a
/// reader can reach (the header's count when the file has no index). -1 for a stream that is
/// being written or is not a live handle.
LONG AVIStreamLength(PAVISTREAM pavi);

/// Reads frame lStart (lSamples 1) of a video stream read from a file and decodes it into
/// lpBuffer as the converter's frames are written: 32 bits a pixel, bytes blue, green, red,
/// alpha (255 where the codec keeps none), rows bottom-up. cbBuffer must hold width x height x
/// 4 bytes. 0 on success, with *plBytes and *plSamples (each when not null) set; AVIERR_NODATA
/// for a frame the stream does not hold or that does not decode, AVIERR_BUFFERTOOSMALL for a
/// buffer too small, AVIERR_UNSUPPORTED for a stream being written.
HRESULT AVIStreamRead(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer,
                      LONG* plBytes, LONG* plSamples);

/// Lets the user choose a compressor for the first stream through the installed
/// CompressorChooser (compressor_chooser.h). Returns the chooser's answer: 1 when accepted,
/// with fccType, fccHandler, dwQuality and AVICOMPRESSF_VALID set in *plpOptions[0]; anything
/// else (0 when cancelled or when no chooser is installed) leaves the options untouched.
int AVISaveOptions(HWND hwnd, UINT uiFlags, int nStreams, PAVISTREAM* ppavi,
                   AVICOMPRESSOPTIONS** plpOptions);

/// Drop one reference; the count left is returned. The last reference of a compressed stream
/// hands the compressor's remaining frames to the file; the last reference of a file (each
/// stream holds one) finishes it as AVIStreamFinish does, when that has not been called; a
/// failure then goes unheard, so a writer calls AVIStreamFinish to learn it.
unsigned long AVIStreamRelease(PAVISTREAM pavi);
unsigned long AVIFileRelease(PAVIFILE pfile);

/// Why the last call of this layer on this thread failed, in words: "Microsoft Video 1 cannot
/// take frames of 66 x 50: needs width and height divisible by 4". Empty when it said nothing.
std::string AviLastFailure();

/// The Video for Windows version word: major version in bits 24-31, minor in bits 16-23.
/// This layer answers 1.10 (0x010A0000).
DWORD VideoForWindowsVersion();
