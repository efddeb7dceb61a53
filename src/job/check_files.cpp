#include "job/check_files.h"

#include <cstring>
#include <string>
#include <vector>

#include "dialog/texts.h"
#include "media/avi_reader.h"
#include "media/compressor_catalogue.h"
#include "platform/vfw/vfw.h"  // AVIFileInit, AVIFileExit

namespace {

std::string FileNamePart(const CString& path) {
  const std::string& text = path.str();
  const std::size_t cut = text.find_last_of("/\\");
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

std::string Frames(long long count) {
  return std::to_string(count) + (count == 1 ? " frame" : " frames");
}

// Whether frame n of the file decodes to exactly the bytes written; only blue, green and red
// where the compressor keeps no alpha.
bool SameFrame(AviReader& reader, long long n, const std::vector<BYTE>& written, bool withAlpha,
               std::vector<BYTE>& decoded) {
  if (!reader.ReadFrame(n, decoded) || decoded.size() != written.size()) return false;
  if (withAlpha) return decoded == written;
  for (std::size_t i = 0; i + 3 < written.size(); i += 4) {
    if (std::memcmp(&decoded[i], &written[i], 3) != 0) return false;
  }
  return true;
}

// The problem with one written file in words for its message box, or "" when it holds what was
// written. *compared says whether its frames' pixels were compared.
std::string CheckOne(const WrittenFile& written, bool keepsAlpha, bool* compared) {
  *compared = false;
  CString text;
  AviReader reader;
  if (!reader.Open(written.file.str())) {
    text.Format("Check failed: %s cannot be read back", written.file.GetString());
    return text.str();
  }
  const long long length = reader.Facts().frames;
  if (length != written.frames) {
    text.Format("Check failed: %s holds %ld frames, %lld were written", written.file.GetString(),
                static_cast<long>(length), written.frames);
    return text.str();
  }
  if (written.firstFrame.empty() || written.lastFrame.empty()) return "";
  std::vector<BYTE> decoded;  // one frame, used for both
  const struct {
    long long sample;
    const std::vector<BYTE>& frame;
  } ends[] = {{0, written.firstFrame}, {length - 1, written.lastFrame}};
  for (const auto& end : ends) {
    if (!SameFrame(reader, end.sample, end.frame, keepsAlpha, decoded)) {
      text.Format("Check failed: frame %ld of %s differs from the frame written",
                  static_cast<long>(end.sample) + 1, written.file.GetString());
      return text.str();
    }
  }
  *compared = true;
  return "";
}

}  // namespace

CString CheckWrittenFiles(CDialog& dlg, const ConversionJob& job) {
  const CompressorInfo* compressor = FindCompressor(job.options.fccHandler);
  const bool keepsAlpha = compressor && compressor->keepsAlpha;
  std::vector<const WrittenFile*> checked;
  std::vector<std::string> failed;
  bool allCompared = true;
  AVIFileInit();
  for (const WrittenFile& written : job.written) {
    if (written.file.IsEmpty() || written.told) continue;
    bool compared = false;
    const std::string problem = CheckOne(written, keepsAlpha, &compared);
    if (!problem.empty()) {
      dlg.MessageBox(problem.c_str(), kConverterCaption, MB_OK);
      failed.push_back(FileNamePart(written.file));
      continue;
    }
    checked.push_back(&written);
    allCompared = allCompared && compared;
  }
  AVIFileExit();

  std::string line;
  if (!failed.empty()) {
    line = "Check failed: " + failed[0] + (failed.size() > 1 ? " and " + failed[1] : "");
  } else if (checked.size() == 2 && checked[0]->frames == checked[1]->frames) {
    line = "Checked: " + FileNamePart(checked[0]->file) + " and " + FileNamePart(checked[1]->file) +
           ", " + Frames(checked[0]->frames) + " each";
  } else if (checked.size() == 2) {
    line = "Checked: " + FileNamePart(checked[0]->file) + " (" + Frames(checked[0]->frames) +
           ") and " + FileNamePart(checked[1]->file) + " (" + Frames(checked[1]->frames) + ")";
  } else if (checked.size() == 1) {
    line = "Checked: " + FileNamePart(checked[0]->file) + ", " + Frames(checked[0]->frames);
  }
  if (failed.empty() && !checked.empty() && allCompared) line += ", lossless frames identical";
  return CString(line);
}
