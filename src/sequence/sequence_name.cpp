#include "sequence/sequence_name.h"

#include <climits>
#include <string>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Only the ASCII digits count: a byte of a multibyte character is never one.
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

SequenceName SplitSequencePath(const CString& path) {
  const std::string& text = path.str();
  SequenceName name;

  std::size_t pos = 0;
  if (text.size() >= 2 && text[1] == ':') {
    name.drive = CString(text.substr(0, 2));
    pos = 2;
  }

  std::size_t fileStart = pos;
  for (std::size_t i = text.size(); i > pos; --i) {
    if (IsSeparator(text[i - 1])) {
      fileStart = i;
      break;
    }
  }
  name.dir = CString(text.substr(pos, fileStart - pos));

  std::size_t fileEnd = text.size();
  const std::size_t dot = text.rfind('.');
  if (dot != std::string::npos && dot >= fileStart) {
    fileEnd = dot;
    name.ext = CString(text.substr(dot));
  }

  std::size_t digits = fileEnd;
  while (digits > fileStart && IsDigit(text[digits - 1])) --digits;
  name.root = CString(text.substr(fileStart, digits - fileStart));
  name.width = static_cast<int>(fileEnd - digits);

  long long value = 0;
  for (std::size_t i = digits; i < fileEnd; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) {
      name.numberTooLarge = true;
      value = 0;
      break;
    }
  }
  name.number = static_cast<int>(value);
  return name;
}

CString FrameFileName(const SequenceName& first, int width, int n) {
  CString name;
  name.Format("%s%s%s%0*d%s", first.drive.GetString(), first.dir.GetString(),
              first.root.GetString(), width, n, first.ext.GetString());
  return name;
}

const char* SequenceProblem(const SequenceName& first, const SequenceName& last) {
  // A number that does not fit would wrap around and make the range check meaningless, so
  // it is refused before the range is looked at.
  if (first.numberTooLarge) return "Frame number of First TGA file is too large";
  if (last.numberTooLarge) return "Frame number of Last TGA file is too large";
  if (last.number < first.number) {
    return "Ending frame number must be greater than starting frame number";
  }
  if (first.root != last.root) {
    return "Ending root file name must be the same as starting root file name";
  }
  return nullptr;
}
