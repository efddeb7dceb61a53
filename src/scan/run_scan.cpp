#include "scan/run_scan.h"

#include <filesystem>
#include <system_error>

#include "frames/targa_frame.h"
#include "platform/mfc/cfile.h"

namespace {

constexpr UINT kOpenForReading = CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoTruncate;

// What the Convert command asks first of both ends: that they open for reading.
bool Opens(const std::string& path) {
  CFile file;
  return file.Open(path.c_str(), kOpenForReading) != FALSE;
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

template <typename T>
void Note(std::vector<T>& listed, long long& count, T item) {
  if (listed.size() < kListedFrames) listed.push_back(item);
  ++count;
}

bool SameSize(const FrameSize& a, const FrameSize& b) {
  return a.width == b.width && a.height == b.height;
}

}  // namespace

RunScan ScanRun(const std::string& firstFile, const std::string& lastFile,
                const std::function<bool()>& cancelled) {
  RunScan scan;
  // The Convert command's own checks, in its order and with its messages.
  if (!Opens(firstFile)) {
    scan.problem = "Failed to open First TGA file";
    return scan;
  }
  if (!Opens(lastFile)) {
    scan.problem = "Failed to open Last TGA file";
    return scan;
  }
  scan.first = SplitSequencePath(firstFile);
  const SequenceName last = SplitSequencePath(lastFile);
  if (const char* problem = SequenceProblem(scan.first, last)) {
    scan.problem = problem;
    return scan;
  }
  scan.digitWidth = scan.first.width;
  scan.frameCount = static_cast<long long>(last.number) - scan.first.number + 1;

  for (long long n = scan.first.number; n <= last.number; ++n) {
    if (cancelled && cancelled()) {
      scan.cancelled = true;
      return scan;
    }
    const int number = static_cast<int>(n);
    const std::string path = FrameFileName(scan.first, scan.digitWidth, number).str();
    if (!IsRegularFile(path)) {
      Note(scan.missing, scan.missingCount, number);
      continue;
    }
    const std::optional<FrameSize> size = ReadFrameSize(path);
    if (!size) {
      Note(scan.unreadable, scan.unreadableCount, number);
      continue;
    }
    if (n == scan.first.number) {
      scan.firstSize = size;
    } else if (scan.firstSize && !SameSize(*size, *scan.firstSize)) {
      Note(scan.otherSizes, scan.otherSizeCount, SizedFrame{number, *size});
    }
  }
  return scan;
}

std::string LastFileOfRun(const std::string& firstFile) {
  const SequenceName first = SplitSequencePath(firstFile);
  if (first.width == 0 || first.numberTooLarge) return "";
  const std::string folder = (first.drive + first.dir).str();
  std::error_code error;
  std::filesystem::directory_iterator entries(folder.empty() ? "." : folder, error);
  if (error) return "";
  std::string best;
  int bestNumber = -1;
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    const SequenceName candidate = SplitSequencePath(name);
    if (candidate.width == 0 || candidate.numberTooLarge || candidate.root != first.root ||
        candidate.ext != first.ext || candidate.number <= bestNumber) {
      continue;
    }
    // Of the run only when the run's own name for its number is this name: shot00241.tga is not
    // a frame of shot0001.tga's run, shot10000.tga is.
    const std::string path = folder + name;
    if (FrameFileName(first, first.width, candidate.number).str() != path) continue;
    if (!IsRegularFile(path)) continue;
    best = path;
    bestNumber = candidate.number;
  }
  return best;
}

std::string SuggestedAviFile(const std::string& firstFile) {
  const SequenceName first = SplitSequencePath(firstFile);
  std::string root = first.root.str();
  while (!root.empty() && (root.back() == '_' || root.back() == '-' || root.back() == '.')) {
    root.pop_back();
  }
  if (root.empty()) return "";
  return (first.drive + first.dir).str() + root + ".avi";
}
