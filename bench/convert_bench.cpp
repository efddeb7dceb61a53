// The whole conversion against the ffmpeg command line, on the same frames in the same run.
//
//   convert_bench                      120 distinct 1920×1080 RGBA Targa frames, 3 rounds each,
//                                      Full Frames, FFV1, Ut Video and Motion JPEG
//   convert_bench --threads 1          every encoder on one thread, on both sides (default: the
//                                      encoders' threads one per core, ffmpeg's automatic)
//   convert_bench --frames 240 --repeat 5 --codec ffv1 --codec raw
//   convert_bench --memory             our peak memory converting 30 and then 300 frames,
//                                      per codec, the highest of 3 rounds (--repeat)
//   convert_bench --size 3840x2160     frames of another size (both modes)
//   convert_bench --round fill         only the rounds named: plain (Targa frames as stored),
//                                      fill (--fill premultiplied against ffmpeg's premultiply
//                                      filter), exr (linear OpenEXR frames, encoded for display
//                                      on both sides); all three by default
//   convert_bench --progress           the cost of the window's progress: the time of a frame
//                                      event with the window's progress follower against none,
//                                      and each of our conversions run again with the follower
//                                      attached (ours+p s, ratio+p)
//
// Our side is the real Convert command (CConverterDlg::OnConvert with a scripted user who picks
// the compressor; no window), run in a child process so that its wall time and peak resident
// memory come from the child's own rusage. The ffmpeg side is two runs of the command line that
// produce the same two files: the colour file with the same codec and pixel format, and the
// matte file through alphaextract, converted to the same pixel format; and, as a user would
// write it, one run that reads the frames once and writes both files (split, then the same
// two filters and encoders). Before a time counts, both of our files must decode to the right
// number of frames.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/job_progress.h"
#include "dialog/converter_dlg.h"
#include "media/avi_writer.h"
#include "media/compressor_catalogue.h"
#include "tests/support/avi_reader.h"
#include "tests/support/exr_writer.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_user.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using namespace testing_support;

// The frames' size, 1920 × 1080 unless --size says otherwise.
struct Size {
  int width = 1920;
  int height = 1080;
};

struct Measured {
  double seconds = 0.0;
  double cpuSeconds = 0.0;  // user and system time of all its threads
  long peakKb = 0;
  bool ok = false;
};

// Runs argv as a child process and measures it.
Measured Run(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execvp(args[0], args.data());
    std::perror(args[0]);
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  Measured m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  m.peakKb = usage.ru_maxrss;
  m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return m;
}

// One way of running both sides over the frames: which frames, and what is asked of the colour.
struct Round {
  const char* name;
  const char* extension;  // "tga" or "exr"
  const char* fill;       // our --fill
};
constexpr Round kRounds[] = {
    {"plain", "tga", "as-stored"}, {"fill", "tga", "premultiplied"}, {"exr", "exr", "as-stored"}};

std::string FramePath(const std::string& dir, int n, const char* extension = "tga") {
  char name[32];
  std::snprintf(name, sizeof name, "/shot%04d.%s", n, extension);
  return dir + name;
}

// Distinct frames with texture, as rendered frames have: ramps, a moving square, some noise and
// an alpha channel with solid, clear and soft parts, laid out for 1920 × 1080 and scaled to size.
void WriteFrames(const std::string& dir, int count, Size size, bool exr = false) {
  TgaPicture picture(size.width, size.height);
  const int opaqueUpTo = size.width * 600 / 1920;
  const int clearFrom = size.width * 1400 / 1920;
  const int squareLeft = size.width * 200 / 1920;
  const int squareHalf = size.width * 150 / 1920;
  unsigned seed = 1;
  for (int n = 1; n <= count; ++n) {
    for (int y = 0; y < size.height; ++y) {
      for (int x = 0; x < size.width; ++x) {
        seed = seed * 1103515245U + 12345U;
        const int noise = static_cast<int>((seed >> 16) & 7);
        const bool square = std::abs(x - squareLeft - n * 12) < squareHalf &&
                            std::abs(y - size.height / 2) < squareHalf;
        picture.At(x, y) = {static_cast<std::uint8_t>((x / 8 + n + noise) & 255),
                            static_cast<std::uint8_t>((y / 4 + noise) & 255),
                            static_cast<std::uint8_t>(square ? 250 : (x ^ y) & 255),
                            static_cast<std::uint8_t>(x < opaqueUpTo  ? 255
                                                      : x > clearFrom ? 0
                                                                      : (x + y) & 255)};
      }
    }
    WriteTga(FramePath(dir, n), picture);
    if (!exr) continue;
    // The same picture as linear light, roughly as a renderer would have stored it.
    std::vector<std::array<float, 4>> linear(picture.pixels.size());
    for (std::size_t i = 0; i < linear.size(); ++i) {
      const Rgba& p = picture.pixels[i];
      const auto light = [](std::uint8_t v) { return std::pow(v / 255.0F, 2.2F); };
      linear[i] = {light(p.r), light(p.g), light(p.b), p.a / 255.0F};
    }
    WriteFile(FramePath(dir, n, "exr"), EncodeExr(size.width, size.height, linear));
  }
}

// The window's progress without the window: the follower, whose views are taken (and their
// texts made) on the job's thread as soon as they are asked for, which costs the job more than
// the window, whose own thread takes them.
struct WindowlessProgress {
  JobProgress progress{[this] { view = progress.Take(); }};
  JobFollowers followers;
  ProgressView view;
  WindowlessProgress() { followers.Add(progress); }
};

// One conversion in this (child) process: exit status 0 when it ended with "AVI File Created"
// and nothing else was said. progress: the window's progress follows the job.
int ConvertOnce(const std::string& first, const std::string& last, const std::string& avi,
                FourCC fourcc, int threads, const std::string& fill, bool progress) {
  SetEncoderThreads(threads);
  CConverterDlg dlg;
  dlg.m_settings.look.fill = FillNamed(fill).value_or(Fill::kAsStored);
  ScriptedUser user;
  user.Attach(dlg);
  WindowlessProgress follower;
  if (progress) dlg.SetObserver(&follower.followers);
  ScriptedChooser chooser;
  chooser.Pick(fourcc);
  user.controls[IDC_FIRST_FILE] = first;
  user.controls[IDC_LAST_FILE] = last;
  user.controls[IDC_AVI_FILE] = avi;
  dlg.OnConvert();
  const std::vector<std::string> texts = user.Texts();
  if (texts.size() == 1 && texts[0] == "AVI File Created") return 0;
  for (const std::string& text : texts) std::fprintf(stderr, "convert: %s\n", text.c_str());
  return 1;
}

bool CountFrames(const std::string& path, int expected) {
  DecodedAvi decoded;
  std::string error;
  if (!DecodeAvi(path, &decoded, &error)) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  if (static_cast<int>(decoded.frames.size()) != expected) {
    std::fprintf(stderr, "%s: %zu frames, expected %d\n", path.c_str(), decoded.frames.size(),
                 expected);
    return false;
  }
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

long Median(std::vector<long> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// 0 threads: each side's own default (ours one per core, ffmpeg's automatic).
int g_threads = 0;
// --progress: our conversions are also run with the window's progress following them.
bool g_progress = false;

std::vector<std::string> OurCommand(const std::string& self, const std::string& dir, int frames,
                                    const std::string& avi, FourCC fourcc,
                                    const Round& round = kRounds[0], bool progress = false) {
  return {self,
          "--child",
          FramePath(dir, 1, round.extension),
          FramePath(dir, frames, round.extension),
          avi,
          std::to_string(fourcc),
          std::to_string(g_threads),
          round.fill,
          progress ? "progress" : "none"};
}

// What the colour file's filter does before the pixel format: ffmpeg's premultiply for our
// --fill premultiplied.
std::string ColourFilter(const Round& round) {
  return std::strcmp(round.fill, "premultiplied") == 0 ? "premultiply=inplace=1," : "";
}

// ffmpeg reading the run's frames, quietly, at the rate both sides write; OpenEXR frames
// encoded with the sRGB curve as ours are.
std::vector<std::string> FfmpegReadingFrames(const std::string& dir, const Round& round) {
  std::vector<std::string> cmd = {"ffmpeg", "-nostdin", "-y", "-loglevel", "error"};
  if (g_threads > 0) {
    const std::string n = std::to_string(g_threads);
    cmd.insert(cmd.end(), {"-filter_threads", n, "-filter_complex_threads", n, "-threads", n});
  }
  cmd.insert(cmd.end(), {"-framerate", "25", "-start_number", "1"});
  if (std::strcmp(round.extension, "exr") == 0) {
    cmd.insert(cmd.end(), {"-apply_trc", "iec61966_2_1"});
  }
  cmd.insert(cmd.end(), {"-i", dir + "/shot%04d." + round.extension});
  return cmd;
}

// The encoder of the compressor, with its default quality where it has a quantiser, FFV1 as the
// version that threads (ours writes that version), and the threads asked for.
void AddEncoder(std::vector<std::string>& cmd, const CompressorInfo& info) {
  cmd.insert(cmd.end(), {"-c:v", *info.encoder ? info.encoder : "rawvideo"});
  if (std::strcmp(info.encoder, "ffv1") == 0) cmd.insert(cmd.end(), {"-level", "3"});
  if (g_threads > 0) cmd.insert(cmd.end(), {"-threads", std::to_string(g_threads)});
  if (info.knob == QualityKnob::kQScale) {
    cmd.insert(cmd.end(), {"-q:v", std::to_string(CodecQualityValue(info, kDefaultQuality))});
  }
}

std::vector<std::string> FfmpegCommand(const std::string& dir, int frames, const std::string& avi,
                                       const CompressorInfo& info, bool matte, Size size,
                                       const Round& round) {
  const std::string pixelFormat = CompressorPixelFormat(info, size.width, size.height);
  const std::string matteFormat = CompressorMattePixelFormat(info, size.width, size.height);
  std::vector<std::string> cmd = FfmpegReadingFrames(dir, round);
  cmd.insert(cmd.end(), {"-frames:v", std::to_string(frames)});
  if (matte) {
    cmd.insert(cmd.end(), {"-vf", "alphaextract,format=" + matteFormat});
  } else if (!ColourFilter(round).empty()) {
    cmd.insert(cmd.end(), {"-vf", ColourFilter(round) + "format=" + pixelFormat});
  } else {
    cmd.insert(cmd.end(), {"-pix_fmt", pixelFormat});
  }
  AddEncoder(cmd, info);
  cmd.push_back(avi);
  return cmd;
}

// One ffmpeg run writing both files from one read of the frames: the colour file as
// FfmpegCommand writes it, and the matte through alphaextract, each with the same encoder.
std::vector<std::string> FfmpegOneCommand(const std::string& dir, int frames,
                                          const std::string& avi, const std::string& matteAvi,
                                          const CompressorInfo& info, Size size,
                                          const Round& round) {
  const std::string pixelFormat = CompressorPixelFormat(info, size.width, size.height);
  std::vector<std::string> cmd = FfmpegReadingFrames(dir, round);
  cmd.insert(cmd.end(),
             {"-filter_complex", "[0:v]split[c][m];[c]" + ColourFilter(round) +
                                     "format=" + pixelFormat + "[colour];[m]alphaextract,format=" +
                                     CompressorMattePixelFormat(info, size.width, size.height) +
                                     "[matte]"});
  for (const auto& [label, file] : {std::pair{"[colour]", avi}, std::pair{"[matte]", matteAvi}}) {
    cmd.insert(cmd.end(), {"-map", label, "-frames:v", std::to_string(frames)});
    AddEncoder(cmd, info);
    cmd.push_back(file);
  }
  return cmd;
}

// The time of one frame event told to the window's followers, with no follower and with the
// window's progress follower (the best of five runs of two million events each).
void ProgressCost() {
  constexpr long long kEvents = 2000000;
  const auto nanoseconds = [](JobObserver& observer) {
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
      PassBegan began;
      began.last = kEvents;
      observer.OnPassBegan(began);
      const auto start = std::chrono::steady_clock::now();
      for (long long n = 1; n <= kEvents; ++n) {
        observer.OnFrameWriting({Pass::kColour, n, n, kEvents});
      }
      const std::chrono::duration<double, std::nano> took =
          std::chrono::steady_clock::now() - start;
      best = std::min(best, took.count() / static_cast<double>(kEvents));
      observer.OnJobEnded({JobEnd::kStopped, ""});
    }
    return best;
  };
  JobFollowers none;
  WindowlessProgress follower;
  const double bare = nanoseconds(none);
  const double followed = nanoseconds(follower.followers);
  std::printf("a frame event: %.1f ns with no follower, %.1f ns with the window's progress\n", bare,
              followed);
}

int Compare(const std::string& self, int frames, int repeat, const std::vector<std::string>& codecs,
            Size size, const std::vector<std::string>& rounds) {
  TempDir dir;
  const std::string d = dir.path().string();
  const bool exr = std::find(rounds.begin(), rounds.end(), "exr") != rounds.end();
  std::printf("writing %d frames of %dx%d RGBA Targa%s ...\n", frames, size.width, size.height,
              exr ? " and OpenEXR" : "");
  std::fflush(stdout);
  WriteFrames(d, frames, size, exr);

  std::printf("encoder threads: %s\n",
              g_threads > 0 ? std::to_string(g_threads).c_str() : "one per core (both sides)");
  if (g_progress) ProgressCost();
  std::printf("\n%-28s %9s %9s %7s %9s %7s %8s %8s %8s %8s %8s %9s %9s", "codec (medians)",
              "ours s", "ffmpeg s", "ratio", "ff 1cmd s", "ratio1", "ours cpu", "ff cpu", "ff1 cpu",
              "ours fps", "ff fps", "ours MB", "ff1 MB");
  std::printf(g_progress ? " %9s %7s %8s\n" : "\n", "ours+p s", "ratio+p", "+p cpu");
  for (const Round& kind : kRounds) {
    if (std::find(rounds.begin(), rounds.end(), kind.name) == rounds.end()) continue;
    for (const CompressorInfo& info : AvailableCompressors()) {
      const std::string code = FourCCText(info.fourcc);
      if (std::find(codecs.begin(), codecs.end(), code) == codecs.end()) continue;
      std::vector<double> ours, theirs, oneCommand, oursCpu, theirsCpu, oneCommandCpu;
      std::vector<double> followed, followedCpu;  // ours with the progress follower
      std::vector<long> oursKb, oneCommandKb;
      for (int round = 0; round < repeat; ++round) {
        const std::string avi = d + "/ours.avi";
        std::filesystem::remove(avi);
        std::filesystem::remove(d + "/ours.matte.avi");
        const Measured m = Run(OurCommand(self, d, frames, avi, info.fourcc, kind));
        if (!m.ok || (round == 0 &&
                      (!CountFrames(avi, frames) || !CountFrames(d + "/ours.matte.avi", frames)))) {
          std::fprintf(stderr, "%s: our conversion failed\n", code.c_str());
          return 1;
        }
        ours.push_back(m.seconds);
        oursCpu.push_back(m.cpuSeconds);
        oursKb.push_back(m.peakKb);
        if (g_progress) {
          std::filesystem::remove(avi);
          std::filesystem::remove(d + "/ours.matte.avi");
          const Measured p = Run(OurCommand(self, d, frames, avi, info.fourcc, kind, true));
          if (!p.ok) {
            std::fprintf(stderr, "%s: our conversion with the progress follower failed\n",
                         code.c_str());
            return 1;
          }
          followed.push_back(p.seconds);
          followedCpu.push_back(p.cpuSeconds);
        }

        const Measured colour =
            Run(FfmpegCommand(d, frames, d + "/ff.avi", info, false, size, kind));
        const Measured matte =
            Run(FfmpegCommand(d, frames, d + "/ff.matte.avi", info, true, size, kind));
        if (!colour.ok || !matte.ok) {
          std::fprintf(stderr, "%s: the ffmpeg command line failed\n", code.c_str());
          return 1;
        }
        const Measured both = Run(
            FfmpegOneCommand(d, frames, d + "/ff1.avi", d + "/ff1.matte.avi", info, size, kind));
        if (!both.ok) {
          std::fprintf(stderr, "%s: the one ffmpeg command failed\n", code.c_str());
          return 1;
        }
        theirs.push_back(colour.seconds + matte.seconds);
        oneCommand.push_back(both.seconds);
        theirsCpu.push_back(colour.cpuSeconds + matte.cpuSeconds);
        oneCommandCpu.push_back(both.cpuSeconds);
        oneCommandKb.push_back(both.peakKb);
      }
      const double o = Median(ours), t = Median(theirs), t1 = Median(oneCommand);
      const std::string label = std::strcmp(kind.name, "plain") == 0
                                    ? std::string(info.name)
                                    : std::string(info.name).substr(0, 20) + " " + kind.name;
      std::printf("%-28s %9.2f %9.2f %6.2fx %9.2f %6.2fx %8.2f %8.2f %8.2f %8.1f %8.1f %9.1f %9.1f",
                  label.c_str(), o, t, o / t, t1, o / t1, Median(oursCpu), Median(theirsCpu),
                  Median(oneCommandCpu), 2.0 * frames / o, 2.0 * frames / t,
                  Median(oursKb) / 1024.0, Median(oneCommandKb) / 1024.0);
      if (g_progress) {
        const double p = Median(followed);
        std::printf(" %9.2f %6.2fx %8.2f", p, p / t, Median(followedCpu));
      }
      std::printf("\n");
      std::fflush(stdout);
    }
  }
  std::printf(
      "\nratio = our wall time for both files / ffmpeg's two runs (ffmpeg s); ratio1 = the same\n"
      "over the one ffmpeg command that writes both files from one read of the frames\n"
      "(ff 1cmd s); ff cpu and ff fps are the two runs', ff1 cpu and ff1 MB the one command's.\n"
      "cpu is the processor\n"
      "seconds of all threads, which another program busy on the machine hardly moves, unlike\n"
      "the wall time; fps counts the frames of both files; MB is peak resident memory.\n");
  if (g_progress) {
    std::printf(
        "ours+p s, ratio+p and +p cpu: ours again with the window's progress following the job,\n"
        "its views made on the job's thread.\n");
  }
  return 0;
}

int Memory(const std::string& self, int repeat, const std::vector<std::string>& codecs, Size size) {
  TempDir dir;
  const std::string d = dir.path().string();
  std::printf("writing 300 frames of %dx%d RGBA Targa ...\n", size.width, size.height);
  std::fflush(stdout);
  WriteFrames(d, 300, size);
  std::printf("\n%-28s %14s %14s %8s\n", "our peak memory", "30 frames MB", "300 frames MB",
              "growth");
  for (const CompressorInfo& info : AvailableCompressors()) {
    if (std::find(codecs.begin(), codecs.end(), FourCCText(info.fourcc)) == codecs.end()) continue;
    // The highest peak of the rounds at each length: whether a frame read ahead is still
    // held when the next is read varies from run to run by about a frame buffer.
    long peakKb[2] = {0, 0};
    for (int round = 0; round < repeat; ++round) {
      for (int i = 0; i < 2; ++i) {
        std::filesystem::remove(d + "/mem.avi");
        std::filesystem::remove(d + "/mem.matte.avi");
        const Measured m = Run(OurCommand(self, d, i == 0 ? 30 : 300, d + "/mem.avi", info.fourcc));
        if (!m.ok) return 1;
        peakKb[i] = std::max(peakKb[i], m.peakKb);
      }
    }
    std::printf("%-28s %14.1f %14.1f %7.1f%%\n", info.name, peakKb[0] / 1024.0, peakKb[1] / 1024.0,
                100.0 * (peakKb[1] - peakKb[0]) / peakKb[0]);
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 9 && std::strcmp(argv[1], "--child") == 0) {
    return ConvertOnce(argv[2], argv[3], argv[4], static_cast<FourCC>(std::stoul(argv[5])),
                       std::atoi(argv[6]), argv[7], std::strcmp(argv[8], "progress") == 0);
  }
  const std::string self = "/proc/self/exe";
  char path[4096];
  const ssize_t length = ::readlink(self.c_str(), path, sizeof path - 1);
  const std::string exe =
      length > 0 ? std::string(path, static_cast<std::size_t>(length)) : argv[0];

  int frames = 120;
  int repeat = 3;
  bool memory = false;
  Size size;
  std::vector<std::string> codecs;
  std::vector<std::string> rounds;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--memory") {
      memory = true;
    } else if (arg == "--progress") {
      g_progress = true;
    } else if (arg == "--frames" && i + 1 < argc) {
      frames = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--threads" && i + 1 < argc) {
      g_threads = std::max(0, std::atoi(argv[++i]));
    } else if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--size" && i + 1 < argc) {
      char x = 0;
      char rest = 0;
      if (std::sscanf(argv[++i], "%d%c%d%c", &size.width, &x, &size.height, &rest) != 3 ||
          (x != 'x' && x != 'X') || size.width < 64 || size.height < 64 || size.width > 16384 ||
          size.height > 16384) {
        std::fprintf(stderr, "--size takes WIDTHxHEIGHT, each 64 to 16384: %s\n", argv[i]);
        return 2;
      }
    } else if (arg == "--round" && i + 1 < argc) {
      rounds.emplace_back(argv[++i]);
    } else if (arg == "--codec" && i + 1 < argc) {
      std::string code = argv[++i];
      std::transform(code.begin(), code.end(), code.begin(), ::toupper);
      codecs.push_back(code == "RAW" ? "DIB " : code);
    } else {
      std::fprintf(stderr,
                   "usage: convert_bench [--frames N] [--repeat R] [--codec raw|FFV1|MJPG|...]..."
                   " [--round plain|fill|exr]... [--size WxH] [--threads N] [--progress] |"
                   " --memory [--size WxH] [--threads N]\n");
      return 2;
    }
  }
  if (codecs.empty()) codecs = {"DIB ", "FFV1", "ULRA", "MJPG"};
  if (rounds.empty()) rounds = {"plain", "fill", "exr"};
  return memory ? Memory(exe, repeat, codecs, size)
                : Compare(exe, frames, repeat, codecs, size, rounds);
}
