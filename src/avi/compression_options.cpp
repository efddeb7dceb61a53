// The compressor choice: a small uncompressed AVI file in the job's frame format is written,
// read back, and its stream shown to the compressor dialog.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "avi/probe_file.h"
#include "frames/converter_dlg.h"
#include "platform/vfw/vfw.h"
#include "sequence/sequence_name.h"

namespace {

// The probe's frames are small: the compressor dialog only needs the stream's kind.
constexpr LONG kProbeMaxWidth = 88;
constexpr LONG kProbeMaxHeight = 40;

// Clips the caller's header to the probe's size for as long as it lives and puts the three
// fields back when it goes, on every path.
class ProbeFormat {
 public:
  explicit ProbeFormat(BITMAPINFOHEADER& header)
      : m_header(header),
        m_width(header.biWidth),
        m_height(header.biHeight),
        m_sizeImage(header.biSizeImage) {
    if (m_header.biWidth > kProbeMaxWidth) m_header.biWidth = kProbeMaxWidth;
    if (m_header.biHeight > kProbeMaxHeight) m_header.biHeight = kProbeMaxHeight;
    m_header.biSizeImage = 0;
  }
  ~ProbeFormat() {
    m_header.biWidth = m_width;
    m_header.biHeight = m_height;
    m_header.biSizeImage = m_sizeImage;
  }
  ProbeFormat(const ProbeFormat&) = delete;
  ProbeFormat& operator=(const ProbeFormat&) = delete;

  /// One uncompressed frame of the clipped format, in bytes (0 for no frame at all).
  LONG FrameBytes() const {
    if (m_header.biWidth <= 0 || m_header.biHeight <= 0) return 0;
    return static_cast<LONG>(
        std::max<std::int64_t>(FrameByteCount(static_cast<std::uint64_t>(m_header.biWidth),
                                              static_cast<std::uint64_t>(m_header.biHeight)),
                               0));
  }

 private:
  BITMAPINFOHEADER& m_header;
  LONG m_width;
  LONG m_height;
  DWORD m_sizeImage;
};

}  // namespace

int CConverterDlg::GetCompressionOptions(AVISTREAMINFOA* pStreamInfo,
                                         BITMAPINFOHEADER* pBitmapHeader,
                                         AVICOMPRESSOPTIONS* pOptions) {
  // A private file in the temporary folder, removed whichever way this returns.
  ProbeFile probe;
  PAVIFILE pFile = nullptr;
  PAVISTREAM pStream = nullptr;

  if (!probe.Created() || AVIFileOpenA(&pFile, probe.Path(), OF_WRITE | OF_CREATE, nullptr) != 0) {
    MessageBox("Failed to open AVI file for writing", kConverterCaption, MB_OK);
    return 0;
  }
  if (AVIFileCreateStreamA(pFile, &pStream, pStreamInfo) != 0) {
    MessageBox("Failed to create AVI stream", kConverterCaption, MB_OK);
    if (pStream) AVIStreamRelease(pStream);
    AVIFileRelease(pFile);
    return 0;
  }
  {
    ProbeFormat format(*pBitmapHeader);
    if (AVIStreamSetFormat(pStream, 0, pBitmapHeader, sizeof(BITMAPINFOHEADER)) != 0) {
      MessageBox("Failed to set AVI stream format", kConverterCaption, MB_OK);
      AVIStreamRelease(pStream);
      AVIFileRelease(pFile);
      return 0;
    }
    // One frame, so that the file has a sample to show; its bytes mean nothing.
    std::vector<BYTE> dummy(static_cast<size_t>(std::max<LONG>(format.FrameBytes(), 1)));
    AVIStreamWrite(pStream, 1, 1, dummy.data(), format.FrameBytes(), AVIIF_KEYFRAME, nullptr,
                   nullptr);
  }
  AVIStreamRelease(pStream);
  AVIFileRelease(pFile);
  pStream = nullptr;
  pFile = nullptr;

  if (AVIFileOpenA(&pFile, probe.Path(), OF_READ, nullptr) != 0) {
    MessageBox("Failed to open AVI file", kConverterCaption, MB_OK);
    return 0;
  }
  if (AVIFileGetStream(pFile, &pStream, 0, 0) != 0) {
    MessageBox("Failed to get AVI stream", kConverterCaption, MB_OK);
    AVIFileRelease(pFile);
    return 0;
  }
  AVICOMPRESSOPTIONS* optionsList[1] = {pOptions};
  const int result = AVISaveOptions(nullptr, 0, 1, &pStream, optionsList);
  pStreamInfo->fccHandler = pOptions->fccHandler;
  AVIStreamRelease(pStream);
  AVIFileRelease(pFile);
  return result;
}
