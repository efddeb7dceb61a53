// The compressor choice: an uncompressed AVI file in the job's frame format, without frames, is
// written, read back, and its stream shown to the compressor dialog.

#include "avi/probe_file.h"
#include "dialog/converter_dlg.h"
#include "platform/vfw/vfw.h"
#include "sequence/sequence_name.h"

int CConverterDlg::GetCompressionOptions(AVISTREAMINFOA* pStreamInfo,
                                         BITMAPINFOHEADER* pBitmapHeader,
                                         AVICOMPRESSOPTIONS* pOptions) {
  // A private file in the temporary folder, removed whichever way this returns.
  ProbeFile probe;
  PAVIFILE pFile = nullptr;
  PAVISTREAM pStream = nullptr;

  if (!probe.Created()) {
    // Said as it is: the user's output is not what failed, the temporary folder is.
    CString text;
    text.Format("Cannot make a temporary file in %s: %s", static_cast<const char*>(probe.Folder()),
                static_cast<const char*>(probe.Failure()));
    MessageBox(text, kConverterCaption, MB_OK);
    return 0;
  }
  if (AVIFileOpenA(&pFile, probe.Path(), OF_WRITE | OF_CREATE, nullptr) != 0) {
    MessageBox("Failed to open AVI file for writing", kConverterCaption, MB_OK);
    return 0;
  }
  if (AVIFileCreateStreamA(pFile, &pStream, pStreamInfo) != 0) {
    MessageBox("Failed to create AVI stream", kConverterCaption, MB_OK);
    if (pStream) AVIStreamRelease(pStream);
    AVIFileRelease(pFile);
    return 0;
  }
  // The job's own frame format and no frame: the compressor dialog learns from it the size a
  // compressor must take, and nothing frame-sized is written.
  if (AVIStreamSetFormat(pStream, 0, pBitmapHeader, sizeof(BITMAPINFOHEADER)) != 0) {
    MessageBox("Failed to set AVI stream format", kConverterCaption, MB_OK);
    AVIStreamRelease(pStream);
    AVIFileRelease(pFile);
    return 0;
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
