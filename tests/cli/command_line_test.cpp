// The command line as a user or a render farm runs it: the real program, started with no
// display (DISPLAY and WAYLAND_DISPLAY unset), its exit status, what it prints and the files it
// leaves, read back with FFmpeg's demuxer and decoders, ffprobe and GStreamer.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "media/compressor_catalogue.h"
#include "tests/support/avi_reader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace testing_support;

// How a run of the program ended and what it printed.
struct Ran {
  int status = -1;  // the exit status; -1 when it did not exit (a signal ended it)
  int signal = 0;   // the signal that ended it
  std::string out;
  std::string err;
  nlohmann::json Json() const { return nlohmann::json::parse(out); }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// How to run it: what standard input holds, and whether standard error (and then standard
// input too, when asked) is a terminal whose output the test watches while the program runs.
struct RunOptions {
  std::string input;            // standard input's contents when it is not the terminal
  bool terminal = false;        // standard error is a terminal (a pseudo-terminal of the test)
  bool terminalInput = false;   // standard input is that terminal too
  long fileSizeLimit = 0;       // bytes a file may grow to (RLIMIT_FSIZE), as on a full disk
  std::vector<int> closed;      // standard descriptors the program starts without (2>&-)
  unsigned timeoutSeconds = 0;  // a run still going after this long is ended by SIGALRM
  // Called with everything the terminal showed so far; may act on the running program or type
  // into the terminal (its test side).
  std::function<void(const std::string& shown, pid_t pid, int terminal)> watch;
};

class CommandLineTest : public ::testing::Test {
 protected:
  Ran Run(const std::vector<std::string>& args, const RunOptions& how = {}) {
    const std::string outPath = dir.File("stdout.txt");
    const std::string errPath = dir.File("stderr.txt");
    const std::string inPath = dir.File("stdin.txt");
    WriteFile(inPath, how.input);
    int master = -1;
    int slave = -1;
    if (how.terminal && ::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return {};
    }
    // Everything the child needs is made before the fork: after it, the child only opens,
    // duplicates and executes.
    std::vector<std::string> argv = {TGA2AVI_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argList;
    for (std::string& arg : argv) argList.push_back(arg.data());
    argList.push_back(nullptr);
    std::vector<char*> envList;
    for (char** variable = environ; *variable; ++variable) {
      const std::string text = *variable;
      if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
      envList.push_back(*variable);
    }
    envList.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int in = how.terminalInput ? slave : ::open(inPath.c_str(), O_RDONLY);
      const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err =
          how.terminal ? slave : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      if (master >= 0) ::close(master);
      for (const int fd : how.closed) ::close(fd);
      if (how.timeoutSeconds > 0) ::alarm(how.timeoutSeconds);
      if (how.fileSizeLimit > 0) {
        // A write past the limit fails with EFBIG instead of ending the program.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(how.fileSizeLimit),
                           static_cast<rlim_t>(how.fileSizeLimit)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      ::execve(argList[0], argList.data(), envList.data());
      ::_exit(127);
    }
    std::string shown;
    if (how.terminal) {
      ::close(slave);
      // Read what the terminal shows until the program closes it.
      for (;;) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 20000) <= 0) break;
        char buffer[4096];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got <= 0) break;  // EIO once the last writer has gone
        shown.append(buffer, static_cast<std::size_t>(got));
        if (how.watch) how.watch(shown, pid, master);
      }
      ::close(master);
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    Ran ran;
    ran.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    ran.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
    ran.out = ReadAll(outPath);
    ran.err = how.terminal ? shown : ReadAll(errPath);
    return ran;
  }

  // Frames 1..count of width x height, their pictures kept in pictures.
  void WriteFrames(int count, int width = 40, int height = 22, bool noise = false) {
    pictures.clear();
    for (int n = 1; n <= count; ++n) {
      pictures.push_back(noise ? NoisePicture(width, height, static_cast<unsigned>(n))
                               : RampPicture(width, height, n));
      WriteTga(Frame(n), pictures.back());
    }
  }
  std::string Frame(int n) const {
    char name[32];
    std::snprintf(name, sizeof name, "shot%04d.tga", n);
    return dir.File(name);
  }
  std::vector<std::string> Convert(int last, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--first",   Frame(1),   "--last",
                                     Frame(last), "--output", dir.File("shot.avi")};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  std::string Colour() const { return dir.File("shot.avi"); }
  std::string Matte() const { return dir.File("shot.matte.avi"); }

  TempDir dir;
  std::vector<TgaPicture> pictures;
};

// Every line of standard error is one of ours.
void ExpectOnlyOurLines(const std::string& err) {
  std::istringstream lines(err);
  std::string line;
  while (std::getline(lines, line)) {
    EXPECT_THAT(line, ::testing::StartsWith("tga2avi: ")) << err;
  }
  EXPECT_THAT(err, Not(HasSubstr("deprecated pixel format")));
}

std::vector<TgaPicture> Mattes(const std::vector<TgaPicture>& pictures) {
  std::vector<TgaPicture> mattes;
  for (const TgaPicture& picture : pictures) mattes.push_back(MatteOf(picture));
  return mattes;
}

TEST_F(CommandLineTest, HelpAndVersionNeedNoDisplay) {
  const Ran help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, AllOf(HasSubstr("--first FILE"), HasSubstr("--list-compressors"),
                              HasSubstr("Exit status:")));
  EXPECT_EQ(help.err, "");
  const Ran version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tga2avi " TGA2AVI_VERSION "\n");
}

TEST_F(CommandLineTest, UsageErrorsExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},
      {"--last", Frame(3)},
      {"--first", dir.File("0001.tga")},  // no name for the AVI file is left in it
      Convert(3, {"--compressor", "nonesuch"}),
      Convert(3, {"--compressor", "ffv1", "--quality", "50"}),
      Convert(3, {"--compressor", "mjpg", "--quality", "101"}),
      {"--list-compressors", "--output", "x.avi"},
      Convert(3, {"--rate", "24/0"}),
      Convert(3, {"--fill", "both"}),
      Convert(3, {"--transfer", "linear"}),
  };
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(args[0] + " " + (args.size() > 1 ? args[1] : ""));
    const Ran ran = Run(args);
    EXPECT_EQ(ran.status, 2);
    EXPECT_THAT(ran.err, ::testing::StartsWith("tga2avi: "));
    EXPECT_EQ(ran.out, "");
  }
  // With --json the error is an object too.
  const Ran json = Run(Convert(3, {"--compressor", "nonesuch", "--json"}));
  EXPECT_EQ(json.status, 2);
  EXPECT_EQ(json.Json()["status"], 2);
  EXPECT_THAT(json.Json()["error"].get<std::string>(), HasSubstr("nonesuch"));
  EXPECT_FALSE(std::filesystem::exists(Colour()));
}

TEST_F(CommandLineTest, ListsTheCompressorsOfTheDialog) {
  const std::vector<CompressorInfo> available = AvailableCompressors();
  const Ran text = Run({"--list-compressors"});
  EXPECT_EQ(text.status, 0);
  std::istringstream lines(text.out);
  std::string line;
  for (const CompressorInfo& compressor : available) {
    ASSERT_TRUE(std::getline(lines, line)) << text.out;
    std::string fourcc = FourCCText(compressor.fourcc);
    while (fourcc.back() == ' ') fourcc.pop_back();
    std::istringstream words(line);
    std::string first;
    words >> first;
    EXPECT_EQ(first, fourcc);
    EXPECT_THAT(line, HasSubstr(compressor.name));
    EXPECT_THAT(line, HasSubstr(compressor.lossless ? "lossless" : "lossy"));
    EXPECT_THAT(line, HasSubstr(compressor.keepsAlpha ? "keeps alpha" : "no alpha"));
  }
  EXPECT_FALSE(std::getline(lines, line)) << "one line per compressor: " << line;

  const Ran json = Run({"--list-compressors", "--json"});
  EXPECT_EQ(json.status, 0);
  const nlohmann::json list = json.Json();
  ASSERT_EQ(list.size(), available.size());
  for (std::size_t i = 0; i < available.size(); ++i) {
    EXPECT_EQ(list[i]["name"], available[i].name);
    EXPECT_EQ(list[i]["lossless"], available[i].lossless);
    EXPECT_EQ(list[i]["keeps_alpha"], available[i].keepsAlpha);
  }
}

TEST_F(CommandLineTest, EveryLosslessCompressorReadsBackExact) {
  WriteFrames(3);
  for (const CompressorInfo& compressor : AvailableCompressors()) {
    if (!compressor.lossless) continue;
    SCOPED_TRACE(compressor.name);
    const Ran ran = Run(Convert(3, {"--compressor", compressor.name, "--overwrite"}));
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_THAT(ran.err, HasSubstr("tga2avi: AVI File Created\n"));
    ExpectOnlyOurLines(ran.err);
    ExpectWholeAvi(Colour(), pictures, compressor.keepsAlpha);
    ExpectWholeAvi(Matte(), Mattes(pictures), compressor.encoder[0] == '\0');
  }
}

TEST_F(CommandLineTest, AMissingMiddleFrameIsToldAndRepeatedAndExitsOne) {
  WriteFrames(3);
  std::filesystem::remove(Frame(2));
  const Ran ran = Run(Convert(3, {"-c", "ffv1", "--json"}));
  EXPECT_EQ(ran.status, 1);
  const std::string told = "tga2avi: Error on opening " + Frame(2) + "\n";
  EXPECT_THAT(ran.err, HasSubstr(told));
  EXPECT_THAT(ran.err, HasSubstr("tga2avi: frame 2 was repeated"));
  ExpectOnlyOurLines(ran.err);
  const nlohmann::json json = ran.Json();
  EXPECT_EQ(json["status"], 1);
  ASSERT_EQ(json["repeated"].size(), 1u);
  EXPECT_EQ(json["repeated"][0]["frame"], 2);
  EXPECT_EQ(json["repeated"][0]["path"], Frame(2));
  EXPECT_EQ(json["repeated"][0]["cause"], "missing");
  EXPECT_EQ(json["repeated"][0]["passes"], nlohmann::json({"colour", "matte"}));
  // The conversion went on as in the window: frame 1 stands in for frame 2.
  const std::vector<TgaPicture> written = {pictures[0], pictures[0], pictures[2]};
  ExpectWholeAvi(Colour(), written, true);
  ExpectWholeAvi(Matte(), Mattes(written), false);
}

// The first file is enough: the rest comes from its run, as the window suggests it, and --json
// says what was taken. A label names the shot on every line, with the texts as they were.
TEST_F(CommandLineTest, TheFirstFileIsEnoughAndALabelNamesEveryLine) {
  WriteFrames(4);
  std::filesystem::remove(Frame(2));
  const struct {
    std::vector<std::string> label;
    std::string lead;
  } rows[] = {{{}, "tga2avi: "},
              {{"--label"}, "tga2avi: shot.avi: "},
              {{"--label", "sh010"}, "tga2avi: sh010: "}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.lead);
    // Before --first, which a --label without its name must leave alone.
    std::vector<std::string> args = row.label;
    const std::vector<std::string> rest = {"--first", Frame(1), "-c", "ffv1", "--json", "-y"};
    args.insert(args.end(), rest.begin(), rest.end());
    const Ran ran = Run(args);
    EXPECT_EQ(ran.status, 1);
    EXPECT_THAT(ran.err, HasSubstr(row.lead + "Error on opening " + Frame(2) + "\n"));
    EXPECT_THAT(ran.err, HasSubstr(row.lead + "AVI File Created\n"));
    std::istringstream lines(ran.err);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_THAT(line, ::testing::StartsWith(row.lead)) << ran.err;
    }
    EXPECT_EQ(ran.Json()["inferred"], nlohmann::json({{"last", Frame(4)}, {"output", Colour()}}));
  }
  ExpectWholeAvi(Colour(), {pictures[0], pictures[0], pictures[2], pictures[3]}, true);
  EXPECT_EQ(Run(Convert(4, {"--json", "-y"})).Json()["inferred"], nlohmann::json::object());
}

TEST_F(CommandLineTest, WhatFailsBeforeAnyFrameExitsOne) {
  WriteFrames(2);
  const Ran missing =
      Run({"--first", dir.File("none0001.tga"), "--last", Frame(2), "--output", Colour()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "tga2avi: Failed to open First TGA file\n");
  const Ran backwards = Run({"--first", Frame(2), "--last", Frame(1), "--output", Colour()});
  EXPECT_EQ(backwards.status, 1);
  EXPECT_EQ(backwards.err,
            "tga2avi: Ending frame number must be greater than starting frame number\n");
  EXPECT_FALSE(std::filesystem::exists(Colour()));
  // Where the message says less than the job knows, the reason follows it, and --json has it.
  WriteFile(dir.File("plain"), "x");
  const std::string under = dir.File("plain/shot.avi");
  const Ran unwritable =
      Run({"--first", Frame(1), "--last", Frame(2), "--output", under, "--json"});
  EXPECT_EQ(unwritable.status, 1);
  const std::string reason = "cannot open " + under + " for writing: Not a directory";
  EXPECT_EQ(unwritable.err, "tga2avi: Failed to open AVI file for writing: " + reason + "\n");
  EXPECT_EQ(unwritable.Json()["end"], "failed");
  EXPECT_EQ(unwritable.Json()["reason"], reason);
}

TEST_F(CommandLineTest, AFullDiskIsToldAndLeavesAFinishedFile) {
  WriteFrames(20, 64, 48);  // 12 KiB a frame as Full Frames
  RunOptions how;
  how.fileSizeLimit = 100 * 1024;
  const Ran ran = Run(Convert(20, {"--json"}), how);
  EXPECT_EQ(ran.status, 1);
  EXPECT_THAT(ran.err, HasSubstr("tga2avi: AVI stream write error\n"));
  ExpectOnlyOurLines(ran.err);
  const nlohmann::json json = ran.Json();
  const int written = json["colour"]["frames"];
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 20);
  EXPECT_EQ(json["matte"]["written"], false);
  EXPECT_EQ(json["end"], "failed");
  EXPECT_THAT(json["reason"].get<std::string>(), HasSubstr("File too large"));
  ExpectWholeAvi(Colour(), std::vector<TgaPicture>(pictures.begin(), pictures.begin() + written),
                 true);
}

TEST_F(CommandLineTest, APathThatIsNotUtf8StillGivesTheJsonReport) {
  WriteFrames(2);
  const std::string output = dir.File("shot\xff.avi");
  const Ran ran = Run({"--first", Frame(1), "--last", Frame(2), "--output", output, "--json"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  const nlohmann::json json = ran.Json();
  EXPECT_EQ(json["status"], 0);
  EXPECT_EQ(json["paths_not_utf8"], true);
  EXPECT_EQ(json["colour"]["path"], dir.File("shot\xef\xbf\xbd.avi"));  // U+FFFD
  EXPECT_EQ(DecodeAviOrFail(output).frames.size(), 2u);
  // A report whose strings are all UTF-8 has no such field.
  EXPECT_FALSE(Run(Convert(2, {"--json"})).Json().contains("paths_not_utf8"));
}

TEST_F(CommandLineTest, ClosedStandardDescriptorsKeepMessagesOutOfTheFiles) {
  // A missing frame is told while each file is open; the report comes after both.
  WriteFrames(3);
  std::filesystem::remove(Frame(2));
  const std::vector<TgaPicture> written = {pictures[0], pictures[0], pictures[2]};
  const std::vector<int> cases[] = {{2}, {0, 1, 2}};
  for (const std::vector<int>& closed : cases) {
    SCOPED_TRACE(closed.size());
    RunOptions how;
    how.closed = closed;
    const Ran ran = Run(Convert(3, {"--json", "--overwrite"}), how);
    EXPECT_EQ(ran.status, 1);
    ExpectWholeAvi(Colour(), written, true);
    ExpectWholeAvi(Matte(), Mattes(written), true);
    for (const std::string& file : {Colour(), Matte()}) {
      const std::string bytes = ReadAll(file);
      EXPECT_EQ(bytes.find("tga2avi"), std::string::npos) << file << " holds a message";
      EXPECT_EQ(bytes.find("\"status\""), std::string::npos) << file << " holds the report";
    }
  }
}

// The colour file and the matte are each protected: an existing one is refused, untouched and
// with nothing else written, unless --overwrite is given.
TEST_F(CommandLineTest, AnExistingOutputIsRefusedWithoutATerminalUnlessOverwrite) {
  WriteFrames(2);
  for (const std::string& existing : {Colour(), Matte()}) {
    SCOPED_TRACE(existing);
    std::filesystem::remove(Colour());
    std::filesystem::remove(Matte());
    WriteFile(existing, "an older file");
    const Ran refused = Run(Convert(2, {"--json"}));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "tga2avi: AVI file exists: " + existing +
                               " (not overwritten: --overwrite writes over it)\n");
    EXPECT_EQ(refused.Json()["end"], "refused");
    EXPECT_EQ(ReadAll(existing), "an older file");
    EXPECT_EQ(std::filesystem::exists(Colour()), existing == Colour());
    EXPECT_EQ(std::filesystem::exists(Matte()), existing == Matte());

    const Ran overwritten = Run(Convert(2, {"--overwrite"}));
    EXPECT_EQ(overwritten.status, 0) << overwritten.err;
    ExpectWholeAvi(Colour(), pictures, true);
    ExpectWholeAvi(Matte(), Mattes(pictures), true);
  }
}

TEST_F(CommandLineTest, AnExistingOutputIsAskedAboutOnATerminal) {
  WriteFrames(2);
  const auto answer = [this](const std::string& question, const std::string& typed) {
    RunOptions how;
    how.terminal = true;
    how.terminalInput = true;
    bool asked = false;
    how.watch = [&asked, typed](const std::string& shown, pid_t, int terminal) {
      if (asked || shown.find("[y/N] ") == std::string::npos) return;
      asked = true;
      const std::string line = typed + "\n";
      EXPECT_EQ(::write(terminal, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    };
    const Ran ran = Run(Convert(2), how);
    EXPECT_TRUE(asked) << ran.err;
    EXPECT_THAT(ran.err, HasSubstr("tga2avi: " + question + " [y/N] "));
    return ran.status;
  };
  WriteFile(Colour(), "an older file");
  EXPECT_EQ(answer("AVI file exists, overwrite?", "n"), 1);
  EXPECT_EQ(ReadAll(Colour()), "an older file");
  EXPECT_EQ(answer("AVI file exists, overwrite?", "y"), 0);
  ExpectWholeAvi(Colour(), pictures, true);

  std::filesystem::remove(Colour());
  WriteFile(Matte(), "an older matte");
  const std::string question = "AVI file exists: " + Matte() + ", overwrite?";
  EXPECT_EQ(answer(question, "n"), 1);
  EXPECT_EQ(ReadAll(Matte()), "an older matte");
  EXPECT_FALSE(std::filesystem::exists(Colour()));
  EXPECT_EQ(answer(question, "y"), 0);
  ExpectWholeAvi(Matte(), Mattes(pictures), true);
}

TEST_F(CommandLineTest, ACompressorThatCannotTakeTheFramesIsRefusedBeforeWriting) {
  if (!FindCompressor(MakeFourCC('M', 'S', 'V', 'C'))) GTEST_SKIP() << "no msvideo1 encoder";
  WriteFrames(2, 34, 18);
  const Ran ran = Run(Convert(2, {"--compressor", "Microsoft Video 1"}));
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.err,
            "tga2avi: Microsoft Video 1 cannot take frames of 34 x 18: needs width and height "
            "divisible by 4\n");
  EXPECT_FALSE(std::filesystem::exists(Colour()));
  EXPECT_FALSE(std::filesystem::exists(Matte()));
}

TEST_F(CommandLineTest, QualityIsTheDialogsSlider) {
  WriteFrames(2, 64, 48, /*noise=*/true);
  const Ran low = Run(Convert(2, {"-c", "mjpg", "-q", "5", "--json"}));
  EXPECT_EQ(low.status, 0) << low.err;
  EXPECT_EQ(low.Json()["compressor"]["quality"], 5);
  const auto lowSize = std::filesystem::file_size(Colour());
  const Ran high = Run(Convert(2, {"-c", "mjpg", "-q", "100", "-y"}));
  EXPECT_EQ(high.status, 0) << high.err;
  EXPECT_GT(std::filesystem::file_size(Colour()), lowSize + 1000);
  ExpectOnlyOurLines(low.err + high.err);
}

// Runs args with standard error on a terminal and sends sig as soon as the terminal shows the
// first progress line of pass ("colour pass" or "matte pass").
Ran RunInterrupted(const std::function<Ran(const RunOptions&)>& run, const std::string& pass,
                   int sig) {
  RunOptions how;
  how.terminal = true;
  bool sent = false;
  how.watch = [&sent, pass, sig](const std::string& shown, pid_t pid, int) {
    if (!sent && shown.find("tga2avi: " + pass + ": frame ") != std::string::npos) {
      sent = true;
      ::kill(pid, sig);
    }
  };
  Ran ran = run(how);
  EXPECT_TRUE(sent) << ran.err;
  return ran;
}

TEST_F(CommandLineTest, CtrlCInTheColourPassLeavesAFinishedFileAndNoMatteOfItsOwn) {
  constexpr int kFrames = 200;
  WriteFrames(kFrames, 320, 240, /*noise=*/true);
  // A matte of the same name from before is not this run's, and is said to be older.
  WriteFile(Matte(), "an older matte");
  const Ran ran = RunInterrupted(
      [this](const RunOptions& how) {
        return Run(Convert(kFrames, {"-c", "ffv1", "--json", "-y"}), how);
      },
      "colour pass", SIGINT);
  EXPECT_EQ(ran.status, 130) << ran.err;
  const nlohmann::json json = ran.Json();
  EXPECT_EQ(json["status"], 130);
  EXPECT_EQ(json["stopped"], true);
  const int written = json["colour"]["frames"];
  EXPECT_GT(written, 0);
  EXPECT_LT(written, kFrames);
  EXPECT_EQ(json["matte"]["written"], false);
  EXPECT_EQ(json["matte"]["left_from_earlier_run"], true);
  EXPECT_EQ(json["colour"]["left_from_earlier_run"], false);
  EXPECT_EQ(ReadAll(Matte()), "an older matte");
  EXPECT_THAT(ran.err,
              HasSubstr("stopped by the user: " + Colour() + " holds " + std::to_string(written) +
                        " of 200 frames, and no matte file was written (" + Matte() +
                        " is left from an earlier run)"));
  // Playable and whole: headers, index, every frame exact, ffprobe and GStreamer agree.
  ExpectWholeAvi(Colour(), std::vector<TgaPicture>(pictures.begin(), pictures.begin() + written),
                 true);
}

TEST_F(CommandLineTest, SigtermInTheMattePassKeepsTheColourFileWhole) {
  constexpr int kFrames = 200;
  WriteFrames(kFrames, 320, 240, /*noise=*/true);
  const Ran ran = RunInterrupted(
      [this](const RunOptions& how) {
        return Run(Convert(kFrames, {"-c", "ffv1", "--json"}), how);
      },
      "matte pass", SIGTERM);
  EXPECT_EQ(ran.status, 130) << ran.err;
  const nlohmann::json json = ran.Json();
  EXPECT_EQ(json["colour"]["frames"], kFrames);
  const int written = json["matte"]["frames"];
  EXPECT_LT(written, kFrames);
  EXPECT_THAT(ran.err, HasSubstr("stopped by the user: " + Colour() + " holds 200 of 200 frames, " +
                                 Matte() + " " + std::to_string(written) + " of 200"));
  ExpectWholeAvi(Colour(), pictures, true);
  ExpectWholeAvi(Matte(),
                 Mattes(std::vector<TgaPicture>(pictures.begin(), pictures.begin() + written)),
                 false);
}

TEST_F(CommandLineTest, SighupInTheColourPassLeavesAFinishedFile) {
  constexpr int kFrames = 200;
  WriteFrames(kFrames, 320, 240, /*noise=*/true);
  const Ran ran = RunInterrupted(
      [this](const RunOptions& how) {
        return Run(Convert(kFrames, {"-c", "ffv1", "--json"}), how);
      },
      "colour pass", SIGHUP);
  EXPECT_EQ(ran.status, 130) << ran.err;
  const int written = ran.Json()["colour"]["frames"];
  EXPECT_LT(written, kFrames);
  EXPECT_FALSE(std::filesystem::exists(Matte()));
  ExpectWholeAvi(Colour(), std::vector<TgaPicture>(pictures.begin(), pictures.begin() + written),
                 true);
}

TEST_F(CommandLineTest, ASecondCtrlCEndsTheProgramAtOnce) {
  constexpr int kFrames = 200;
  WriteFrames(kFrames, 320, 240, /*noise=*/true);
  RunOptions how;
  how.terminal = true;
  bool sent = false;
  how.watch = [&sent](const std::string& shown, pid_t pid, int) {
    if (sent || shown.find("tga2avi: colour pass: frame ") == std::string::npos) return;
    sent = true;
    // Ctrl-C held down: more than one is taken long before the pass could finish its file.
    for (int i = 0; i < 200; ++i) {
      ::kill(pid, SIGINT);
      ::usleep(500);
    }
  };
  const Ran ran = Run(Convert(kFrames, {"-c", "ffv1"}), how);
  EXPECT_TRUE(sent);
  EXPECT_EQ(ran.signal, SIGINT) << ran.err;
  EXPECT_THAT(ran.err, Not(HasSubstr("stopped by the user")));
}

TEST_F(CommandLineTest, ANamedPipeAsOutputIsRefusedAtOnce) {
  WriteFrames(2);
  const struct {
    std::string pipe;
    std::string told;
  } rows[] = {{Colour(), "The AVI file is not a regular file: " + Colour()},
              {Matte(), "The matte AVI file is not a regular file: " + Matte()}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pipe);
    std::filesystem::remove(Colour());
    std::filesystem::remove(Matte());
    ASSERT_EQ(::mkfifo(row.pipe.c_str(), 0644), 0);
    RunOptions how;
    how.timeoutSeconds = 20;
    const Ran ran = Run(Convert(2, {"--overwrite", "--json"}), how);
    EXPECT_EQ(ran.status, 1) << ran.err;
    EXPECT_THAT(ran.err, HasSubstr("tga2avi: " + row.told + "\n"));
    EXPECT_EQ(ran.Json()["end"], "refused");
    EXPECT_EQ(ran.Json()["colour"]["frames"], 0);
  }
}

TEST_F(CommandLineTest, JsonAgreesWithFfprobe) {
  if (!HaveTool("ffprobe")) GTEST_SKIP() << "no ffprobe";
  const struct {
    const char* compressor;
    int width;
    int height;
    const char* rate;
  } cases[] = {{"ffv1", 40, 22, "30000/1001"},
               {"Ut Video", 24, 502, "25/1"},
               {"mjpg", 40, 22, "30000/1001"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.compressor);
    WriteFrames(4, c.width, c.height);
    const Ran ran = Run(Convert(4, {"--compressor", c.compressor, "--json", "--overwrite"}));
    ASSERT_EQ(ran.status, 0) << ran.err;
    const nlohmann::json json = ran.Json();
    EXPECT_EQ(json["status"], 0);
    EXPECT_EQ(json["stopped"], false);
    EXPECT_EQ(json["frames"], 4);
    EXPECT_EQ(json["repeated"].size(), 0u);
    EXPECT_EQ(json["messages"], nlohmann::json({"AVI File Created"}));
    EXPECT_THAT(json["check"].get<std::string>(),
                ::testing::StartsWith("Checked: shot.avi and shot.matte.avi, 4 frames each"));
    EXPECT_EQ(json["colour"]["path"], Colour());
    EXPECT_EQ(json["matte"]["path"], Matte());
    for (const char* file : {"colour", "matte"}) {
      SCOPED_TRACE(file);
      const std::string path = json[file]["path"];
      FfprobeView view;
      ASSERT_TRUE(FfprobeRead(path, &view)) << view.output;
      FfprobeFrames frames;
      ASSERT_TRUE(FfprobeCountFrames(path, &frames)) << frames.output;
      EXPECT_EQ(json[file]["frames"], frames.frames);
      EXPECT_EQ(json["compressor"]["fourcc"], view.codecTag);
      EXPECT_EQ(json["width"], view.width);
      EXPECT_EQ(json["height"], view.height);
      EXPECT_EQ(std::to_string(json["rate"]["num"].get<int>()) + "/" +
                    std::to_string(json["rate"]["den"].get<int>()),
                view.frameRate);
      EXPECT_EQ(view.frameRate, c.rate);
    }
  }
}

TEST_F(CommandLineTest, BothFilesCarryTheRateGiven) {
  if (!HaveTool("ffprobe")) GTEST_SKIP() << "no ffprobe";
  WriteFrames(2);
  const std::pair<const char*, const char*> cases[] = {
      {"24000/1001", "24000/1001"},
      {"23.976", "24000/1001"},
      {"24", "24/1"},
      {"25", "25/1"},
      {"30000/1001", "30000/1001"},
      {"29.97", "30000/1001"},
      {"30", "30/1"},
      {"48", "48/1"},
      {"50", "50/1"},
      {"60000/1001", "60000/1001"},
      {"59.94", "60000/1001"},
      {"60", "60/1"},
      {"12.5", "25/2"},
      {"1000/37", "1000/37"},
  };
  for (const auto& [given, carried] : cases) {
    SCOPED_TRACE(given);
    const Ran ran = Run(Convert(2, {"--rate", given, "--json", "--overwrite"}));
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.Json()["rate_source"], "chosen");
    for (const std::string& path : {Colour(), Matte()}) {
      FfprobeView view;
      ASSERT_TRUE(FfprobeRead(path, &view)) << view.output;
      EXPECT_EQ(view.frameRate, carried) << path;
    }
  }
  const Ran byHeight = Run(Convert(2, {"--json", "--overwrite"}));
  EXPECT_EQ(byHeight.Json()["rate_source"], "height");
  EXPECT_EQ(byHeight.Json()["fill"], "as-stored");
  EXPECT_EQ(byHeight.Json()["transfer"], "srgb");
}

TEST_F(CommandLineTest, AnOutputNotNamedAviIsWarnedOnceAndItsMatteKeepsTheName) {
  WriteFrames(2);
  const Ran ran = Run({"--first", Frame(1), "--last", Frame(2), "--output", dir.File("edit_v2")});
  EXPECT_EQ(ran.status, 0) << ran.err;
  const std::string warning = "does not end in .avi";
  const std::size_t at = ran.err.find(warning);
  EXPECT_NE(at, std::string::npos) << ran.err;
  EXPECT_EQ(ran.err.find(warning, at + 1), std::string::npos) << ran.err;
  EXPECT_TRUE(std::filesystem::exists(dir.File("edit_v2.matte.avi")));
  EXPECT_EQ(Run(Convert(2, {"--overwrite"})).err.find(warning), std::string::npos);
}

TEST_F(CommandLineTest, TheLibrariesSayNothing) {
  // Every compressor once (Motion JPEG is where swscale would warn of a "deprecated pixel
  // format"), and frames the image library refuses.
  WriteFrames(3, 64, 48);
  WriteFile(Frame(2), "not an image at all");
  for (const CompressorInfo& compressor : AvailableCompressors()) {
    SCOPED_TRACE(compressor.name);
    const Ran ran = Run(Convert(3, {"--compressor", compressor.name, "--overwrite"}));
    EXPECT_EQ(ran.status, 1) << ran.err;  // frame 2 is repeated
    ExpectOnlyOurLines(ran.err);
  }
}

}  // namespace
