// Fuzzes what the converter makes of the names and options a user types: the split of a frame
// path, the name of frame n, the range and root checks, the matte file's name, and the command
// line's options in any order. The input is cut at NUL bytes into arguments. Whatever they are,
// nothing may crash, hang or read outside its strings, and what comes back must hang together:
// a path split and built again is the same path, the first and last frame names are the files
// given, the matte name ends in "matte.avi" and keeps the output's folder, and a parse either
// gives options to act on or an exit status with what to print, and a run that passes the
// checks never runs backwards.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "fuzz/fuzz_input.h"
#include "job/conversion.h"
#include "sequence/sequence_name.h"

namespace {

void CheckName(const std::string& path) {
  const SequenceName name = SplitSequencePath(CString(path));
  const std::string again = (name.drive + name.dir + name.root).str();
  if (name.width == 0 || name.numberTooLarge) return;
  // Frame `number` of its own run is the path itself.
  const std::string rebuilt = FrameFileName(name, name.width, name.number).str();
  if (rebuilt != path) FuzzFailure("a split path does not build back into itself");
  if (rebuilt.compare(0, again.size(), again) != 0) FuzzFailure("frame n lost the folder or root");
  // Any other frame of the run keeps the folder, root and extension.
  for (const int n : {0, 1, name.number / 2, 2147483647}) {
    const std::string other = FrameFileName(name, name.width, n).str();
    if (other.compare(0, again.size(), again) != 0 || other.size() < name.ext.str().size() ||
        other.compare(other.size() - name.ext.str().size(), std::string::npos, name.ext.str()) !=
            0) {
      FuzzFailure("frame n is not in the first file's run");
    }
  }
}

void CheckMatte(const std::string& output) {
  const std::string matte = MatteFileName(CString(output)).str();
  const std::string tail = "matte.avi";
  if (matte.size() < tail.size() || matte.compare(matte.size() - tail.size(), tail.size(), tail)) {
    FuzzFailure("the matte name does not end in matte.avi");
  }
  const std::size_t cut = output.find_last_of("/\\");
  if (cut != std::string::npos && matte.compare(0, cut + 1, output, 0, cut + 1) != 0) {
    FuzzFailure("the matte name left the output's folder");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  std::string current;
  for (std::size_t i = 0; i < size && args.size() < 16; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  args.push_back(current);

  for (const std::string& arg : args) {
    CheckName(arg);
    CheckMatte(arg);
  }
  if (args.size() >= 2) {
    const SequenceName first = SplitSequencePath(CString(args[0]));
    const SequenceName last = SplitSequencePath(CString(args[1]));
    if (!SequenceProblem(first, last) &&
        (first.number > last.number || first.numberTooLarge || last.numberTooLarge)) {
      FuzzFailure("a run that passes the checks runs backwards or past the numbers");
    }
  }

  std::vector<const char*> argv = {"tga2avi"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  const ParsedCommandLine parsed = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  if (parsed.exitStatus < 0 && !parsed.options.listCompressors && !parsed.options.compressor) {
    FuzzFailure("options to act on lack a compressor");
  }
  if (parsed.exitStatus > 0 && parsed.err.empty()) FuzzFailure("a refusal says nothing");
  return 0;
}
