// The AVIFile calls over the media core: a file is an AviWriter or an AviReader and owns its
// streams; a handle is the file object itself, freed by AVIFileRelease.

#include "platform/vfw/vfw.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include "media/avi_reader.h"
#include "media/avi_writer.h"
#include "media/compressor_catalogue.h"
#include "platform/vfw/compressor_chooser.h"

struct AviStream {
  AviFile* file = nullptr;
  const CompressorInfo* compressor = nullptr;  // null: frames stored as given
  DWORD quality = kDefaultQuality;
  bool matte = false;  // the frames are a matte
  int width = 0;       // once known: the format set, or the file read
  int height = 0;
};

struct AviFile {
  std::unique_ptr<AviWriter> writer;  // one of the two
  std::unique_ptr<AviReader> reader;
  DWORD rate = 0;
  DWORD scale = 1;
  std::vector<std::unique_ptr<AviStream>> streams;

  AviStream* NewStream() {
    streams.push_back(std::make_unique<AviStream>());
    streams.back()->file = this;
    return streams.back().get();
  }
};

namespace {

thread_local std::string t_lastFailure;

HRESULT Fail(HRESULT code, std::string reason) {
  t_lastFailure = std::move(reason);
  return code;
}

}  // namespace

std::string AviLastFailure() { return t_lastFailure; }

HRESULT AVIFileOpenA(PAVIFILE* ppfile, LPCSTR szFile, UINT uMode, void* /*lpHandler*/) {
  if (!ppfile || !szFile) return Fail(AVIERR_BADPARAM, "no file named");
  *ppfile = nullptr;
  auto file = std::make_unique<AviFile>();
  MediaResult opened;
  if ((uMode & (OF_WRITE | OF_CREATE)) != 0) {
    file->writer = std::make_unique<AviWriter>();
    opened = file->writer->Open(szFile);
  } else {
    file->reader = std::make_unique<AviReader>();
    opened = file->reader->Open(szFile);
  }
  if (!opened) return Fail(AVIERR_FILEOPEN, opened.reason());
  *ppfile = file.release();  // owned by the caller's handle until AVIFileRelease
  return AVIERR_OK;
}

HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppavi, AVISTREAMINFOA* psi) {
  if (!ppavi) return Fail(AVIERR_BADPARAM, "no stream to fill");
  *ppavi = nullptr;
  if (!pfile || !pfile->writer || !psi) return Fail(AVIERR_BADPARAM, "not a file being written");
  pfile->rate = psi->dwRate;
  pfile->scale = psi->dwScale;
  *ppavi = pfile->NewStream();
  return AVIERR_OK;
}

HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM psSource,
                                AVICOMPRESSOPTIONS* lpOptions, void* /*pclsidHandler*/) {
  if (!ppsCompressed) return Fail(AVIERR_BADPARAM, "no stream to fill");
  *ppsCompressed = nullptr;
  if (!psSource || !lpOptions) return Fail(AVIERR_BADPARAM, "no stream or no options");
  const CompressorInfo* compressor = FindCompressor(lpOptions->fccHandler);
  if (!compressor) {
    return Fail(AVIERR_NOCOMPRESSOR,
                "no compressor \"" + FourCCText(lpOptions->fccHandler) + "\" here");
  }
  AviStream* stream = psSource->file->NewStream();
  stream->compressor = compressor;
  stream->quality = lpOptions->dwQuality;
  *ppsCompressed = stream;
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG /*lPos*/, void* lpFormat, LONG cbFormat) {
  if (!pavi || !pavi->file->writer) return Fail(AVIERR_BADPARAM, "not a stream being written");
  const auto* format = static_cast<const BITMAPINFOHEADER*>(lpFormat);
  if (!format || cbFormat < static_cast<LONG>(sizeof(BITMAPINFOHEADER)) ||
      format->biBitCount != 32 || format->biCompression != BI_RGB) {
    return Fail(AVIERR_BADFORMAT, "frames must be 32-bit BI_RGB");
  }
  VideoFormat video;
  video.width = format->biWidth;
  video.height = std::abs(format->biHeight);
  video.bottomUp = format->biHeight > 0;
  video.rate = pavi->file->rate;
  video.scale = pavi->file->scale;
  video.compressor = pavi->compressor;
  video.quality = pavi->quality;
  video.matte = pavi->matte;
  const MediaResult started = pavi->file->writer->Start(video);
  if (!started) return Fail(AVIERR_BADFORMAT, started.reason());
  pavi->width = video.width;
  pavi->height = video.height;
  return AVIERR_OK;
}

void AVIStreamSetMatte(PAVISTREAM pavi) {
  if (pavi) pavi->matte = true;
}

HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG /*lSamples*/, void* lpBuffer,
                       LONG cbBuffer, DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten) {
  if (plSampWritten) *plSampWritten = 0;
  if (plBytesWritten) *plBytesWritten = 0;
  if (!pavi || !pavi->file->writer || cbBuffer < 0) {
    return Fail(AVIERR_BADPARAM, "not a stream being written");
  }
  const MediaResult written = pavi->file->writer->Write(static_cast<const unsigned char*>(lpBuffer),
                                                        static_cast<std::size_t>(cbBuffer), lStart,
                                                        (dwFlags & AVIIF_KEYFRAME) != 0);
  if (!written) return Fail(AVIERR_FILEWRITE, written.reason());
  if (plSampWritten) *plSampWritten = 1;
  if (plBytesWritten) *plBytesWritten = cbBuffer;
  return AVIERR_OK;
}

HRESULT AVIStreamFinish(PAVISTREAM pavi) {
  if (!pavi || !pavi->file->writer) return Fail(AVIERR_BADPARAM, "not a stream being written");
  const MediaResult finished = pavi->file->writer->Finish();
  return finished ? AVIERR_OK : Fail(AVIERR_FILEWRITE, finished.reason());
}

LONG AVIStreamLength(PAVISTREAM pavi) {
  if (!pavi || !pavi->file->writer) return 0;
  return static_cast<LONG>(pavi->file->writer->FramesInFile());
}

HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam) {
  if (!ppavi) return Fail(AVIERR_BADPARAM, "no stream to fill");
  *ppavi = nullptr;
  if (!pfile || !pfile->reader || lParam != 0 || (fccType != 0 && fccType != streamtypeVIDEO)) {
    return Fail(AVIERR_NODATA, "no such stream");
  }
  AviStream* stream = pfile->NewStream();
  stream->width = pfile->reader->Facts().width;
  stream->height = pfile->reader->Facts().height;
  *ppavi = stream;
  return AVIERR_OK;
}

int AVISaveOptions(HWND /*hwnd*/, UINT /*uiFlags*/, int nStreams, PAVISTREAM* ppavi,
                   AVICOMPRESSOPTIONS** plpOptions) {
  CompressorChooser* chooser = GetCompressorChooser();
  if (nStreams < 1 || !ppavi || !plpOptions || !plpOptions[0] || !chooser) return 0;
  AVICOMPRESSOPTIONS& options = *plpOptions[0];
  CompressorRequest request;
  if (ppavi[0]) {
    request.width = ppavi[0]->width;
    request.height = ppavi[0]->height;
  }
  request.fourcc = options.fccHandler;
  request.quality = options.dwQuality;
  CompressorChoice choice{options.fccHandler, options.dwQuality};
  const int result = chooser->ChooseCompressor(request, &choice);
  if (result == 1) {
    options.fccType = streamtypeVIDEO;
    options.fccHandler = choice.fourcc;
    options.dwQuality = choice.quality;
    options.dwFlags |= AVICOMPRESSF_VALID;
  }
  return result;
}

unsigned long AVIStreamRelease(PAVISTREAM /*pavi*/) { return 0; }

unsigned long AVIFileRelease(PAVIFILE pfile) {
  // Takes back the ownership AVIFileOpenA handed out; the writer finishes a started file.
  std::unique_ptr<AviFile> file(pfile);
  return 0;
}
