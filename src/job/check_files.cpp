#include "job/check_files.h"

#include <cstring>
#include <string>
#include <vector>

#include "dialog/texts.h"
#include "media/avi_reader.h"
#include "media/compressor_catalogue.h"

namespace {

std::string FileNamePart(const std::string& text) {
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

FilesChecked CheckWrittenFiles(CDialog& dlg, const ConversionJob& job) {
  const CompressorInfo* compressor = FindCompressor(job.options.fccHandler);
  const bool keepsAlpha = compressor && compressor->keepsAlpha;
  // A compressor codes the matte grey or opaque: its alpha is not the alpha written. Full
  // Frames stores the matte's bytes as they are.
  const bool matteKeepsAlpha = keepsAlpha && compressor->encoder[0] == '\0';
  FilesChecked result;
  for (const WrittenFile& written : job.written) {
    if (written.file.IsEmpty() || written.told) continue;
    const bool isMatte = &written == &job.written[1];
    FileCheck check;
    check.file = written.file.str();
    check.written = written.frames;
    check.problem =
        CheckOne(written, isMatte ? matteKeepsAlpha : keepsAlpha, &check.pixelsCompared);
    check.ok = check.problem.empty();
    if (check.ok) check.frames = written.frames;
    if (!check.ok) dlg.MessageBox(check.problem.c_str(), kConverterCaption, MB_OK);
    result.files.push_back(std::move(check));
  }
  return result;
}

std::string CheckLine(const FilesChecked& checked) {
  std::vector<const FileCheck*> good;
  std::vector<std::string> failed;
  bool allCompared = true;
  for (const FileCheck& file : checked.files) {
    if (!file.ok) {
      failed.push_back(FileNamePart(file.file));
      continue;
    }
    good.push_back(&file);
    allCompared = allCompared && file.pixelsCompared;
  }
  std::string line;
  if (!failed.empty()) {
    line = "Check failed: " + failed[0] + (failed.size() > 1 ? " and " + failed[1] : "");
  } else if (good.size() == 2 && good[0]->frames == good[1]->frames) {
    line = "Checked: " + FileNamePart(good[0]->file) + " and " + FileNamePart(good[1]->file) +
           ", " + Frames(good[0]->frames) + " each";
  } else if (good.size() == 2) {
    line = "Checked: " + FileNamePart(good[0]->file) + " (" + Frames(good[0]->frames) + ") and " +
           FileNamePart(good[1]->file) + " (" + Frames(good[1]->frames) + ")";
  } else if (good.size() == 1) {
    line = "Checked: " + FileNamePart(good[0]->file) + ", " + Frames(good[0]->frames);
  }
  if (failed.empty() && !good.empty() && allCompared) line += ", lossless frames identical";
  return line;
}
