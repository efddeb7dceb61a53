#include "cli/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

#include "cli/exit_status.h"

#ifndef TGA2AVI_VERSION
#define TGA2AVI_VERSION "unknown"
#endif

namespace {

constexpr const char* kDescription =
    "tga2avi turns a numbered image sequence (shot0001.tga .. shot0240.tga, usually 32-bit\n"
    "Targa files with alpha) into two AVI files written with one compressor: the colour video\n"
    "under the output name, and beside it a matte video in which every frame is the alpha\n"
    "channel shown as grey (shot.avi gives shot.matte.avi).\n"
    "\n"
    "With no option it opens its window. With options it converts from the command line and\n"
    "needs no display:\n"
    "  tga2avi --first F [--last L] [--output O] [--compressor C] [--quality Q]\n"
    "          [--overwrite] [--label [NAME]] [--json]\n"
    "          [--rate R] [--fill F] [--transfer T]\n"
    "  tga2avi --list-compressors [--json]\n"
    "  tga2avi --help | --version";

constexpr const char* kFooter =
    "Frame size comes from the first frame, and so does the rate without --rate: a DPX or\n"
    "OpenEXR header's rate, else 29.97 (30000/1001) up to 500 rows high and 25 for taller\n"
    "frames. An output not named .avi gets its matte as <name>.matte.avi.\n"
    "A frame that is missing or cannot be read is said,\n"
    "and the frame before it is written in its place.\n"
    "\n"
    "Messages go to standard error as \"tga2avi: <text>\", with --label as\n"
    "\"tga2avi: <label>: <text>\". On a terminal one line shows the pass, the frame, frames\n"
    "per second and the time left, and an existing output file is asked about (y/N);\n"
    "elsewhere it is refused unless --overwrite is given.\n"
    "\n"
    "Ctrl-C (SIGINT), SIGTERM, SIGHUP or SIGXCPU stops the conversion as Escape does in the\n"
    "window: the file being written keeps the frames written so far and is finished properly,\n"
    "and the matte pass is skipped when the colour pass was stopped. A second Ctrl-C or\n"
    "SIGTERM ends the program at once.\n"
    "\n"
    "Exit status:\n"
    "  0    both files were written with every frame\n"
    "  1    something failed, or a frame was repeated (the message says which)\n"
    "  2    usage error\n"
    "  130  stopped by one of the signals above\n"
    "\n"
    "Examples:\n"
    "  tga2avi -f shot0001.tga -l shot0240.tga -o shot.avi -c ffv1\n"
    "  tga2avi -f in/shot0001.tga -l in/shot0240.tga -o out/shot.avi -c mjpg -q 90 --overwrite\n"
    "  tga2avi --list-compressors";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string QualityRange(const CompressorInfo& compressor) {
  if (compressor.knob == QualityKnob::kNone) return "";
  return "quality 0-100 (default " + std::to_string(compressor.defaultQuality / 100) + ")";
}

std::string NamesWithQuality() {
  std::string names;
  for (const CompressorInfo& compressor : AvailableCompressors()) {
    if (compressor.knob == QualityKnob::kNone) continue;
    if (!names.empty()) names += ", ";
    names += compressor.name;
  }
  return names.empty() ? "none here" : names;
}

ParsedCommandLine UsageError(const std::string& why) {
  ParsedCommandLine parsed;
  parsed.exitStatus = kExitUsage;
  parsed.err = "tga2avi: " + why + "\nRun with --help for more information.\n";
  return parsed;
}

}  // namespace

std::string ShownFourCC(FourCC fourcc) {
  std::string text = FourCCText(fourcc);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

const CompressorInfo* MatchCompressor(const std::string& text) {
  const std::string wanted = Lower(text);
  for (const CompressorInfo& compressor : AvailableCompressors()) {
    if (wanted == Lower(ShownFourCC(compressor.fourcc)) || wanted == Lower(compressor.name)) {
      return FindCompressor(compressor.fourcc);
    }
  }
  return nullptr;
}

std::string CompressorListText() {
  const std::vector<CompressorInfo> compressors = AvailableCompressors();
  std::size_t nameWidth = 0;
  for (const CompressorInfo& compressor : compressors) {
    nameWidth = std::max(nameWidth, std::string(compressor.name).size());
  }
  // The quality range or "grey matte" (no compressor has both), padded so that who reads the
  // files lines up after it.
  std::vector<std::string> extras;
  std::size_t extraWidth = 0;
  for (const CompressorInfo& compressor : compressors) {
    extras.push_back(QualityRange(compressor));
    if (CompressorWritesGreyMatte(compressor)) extras.back() += "grey matte";
    extraWidth = std::max(extraWidth, extras.back().size());
  }
  std::ostringstream list;
  for (std::size_t i = 0; i < compressors.size(); ++i) {
    const CompressorInfo& compressor = compressors[i];
    std::string line = ShownFourCC(compressor.fourcc);
    line.resize(6, ' ');
    std::string name = compressor.name;
    name.resize(nameWidth + 2, ' ');
    line += name;
    line += compressor.lossless ? "lossless  " : "lossy     ";
    line += compressor.keepsAlpha ? "keeps alpha  " : "no alpha     ";
    line += extras[i];
    line.resize(line.size() + extraWidth - extras[i].size() + 2, ' ');
    line += CompressorReaders(compressor, 0, 0);
    list << line << '\n';
  }
  return list.str();
}

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  CommandLine& options = parsed.options;
  std::string compressorName;
  int quality = -1;
  std::string rate;
  std::string fill = FillName(options.settings.look.fill);
  std::string transfer = TransferName(options.settings.look.transfer);

  CLI::App app(kDescription, "tga2avi");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("tga2avi ") + TGA2AVI_VERSION);
  app.get_formatter()->column_width(26);
  app.get_formatter()->label("REQUIRED", "");

  CLI::Option* first =
      app.add_option("-f,--first", options.first, "the first frame file: shot0001.tga")
          ->option_text("FILE");
  CLI::Option* last = app.add_option("-l,--last", options.last,
                                     "the last frame file: shot0240.tga\n"
                                     "(default: the run's highest-numbered file)")
                          ->option_text("FILE");
  CLI::Option* output = app.add_option("-o,--output", options.output,
                                       "the colour file; the matte goes beside it\n"
                                       "(default: the run's name + .avi beside the frames)")
                            ->option_text("FILE");
  std::string labelText;
  CLI::Option* label = app.add_option("--label", labelText,
                                      "begin every message line with NAME, or without\n"
                                      "NAME the output's file name: \"tga2avi: shot.avi: ...\"")
                           ->option_text("[NAME]")
                           ->expected(0, 1);
  CLI::Option* compressor = app.add_option("-c,--compressor", compressorName,
                                           "FourCC or name from --list-compressors, in any\n"
                                           "case: ffv1, \"Ut Video\", ULRA (default: Full Frames)")
                                ->option_text("C");
  CLI::Option* qualityOption = app.add_option("-q,--quality", quality,
                                              "0-100, the window's quality slider; only for a\n"
                                              "compressor with a quality setting")
                                   ->option_text("Q")
                                   ->check(CLI::Range(0, 100));
  CLI::Option* overwrite =
      app.add_flag("-y,--overwrite", options.overwrite, "write over an existing output file");
  CLI::Option* rateOption = app.add_option("-r,--rate", rate,
                                           "frames per second of both files: 24, 24000/1001,\n"
                                           "23.976 (= 24000/1001; 29.97 and 59.94 likewise);\n"
                                           "default: the first frame's header, else by height")
                                ->option_text("R");
  app.add_option("--fill", fill,
                 "colour as-stored (default), straight (a premultiplied\n"
                 "Targa frame divided by alpha), premultiplied, or\n"
                 "straight-from-premultiplied (every frame divided)")
      ->option_text("F")
      ->check(
          CLI::IsMember({"as-stored", "straight", "premultiplied", "straight-from-premultiplied"}));
  app.add_option("--transfer", transfer,
                 "srgb (default: linear-light frames such as OpenEXR\n"
                 "encoded for display) or as-stored")
      ->option_text("T")
      ->check(CLI::IsMember({"srgb", "as-stored"}));
  app.add_flag("--json", options.json,
               "print one JSON object on standard output at the end:\n"
               "the files, frames, compressor, size, rate, the\n"
               "frames repeated and the exit status, and under\n"
               "\"inferred\" what was taken for --last and --output");
  app.add_flag("--list-compressors", options.listCompressors,
               "one line per compressor: FourCC, name, lossless?,\n"
               "keeps alpha?, quality range, grey matte?, who reads it");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    parsed.exitStatus = 0;
    parsed.out = app.help();
    return parsed;
  } catch (const CLI::CallForAllHelp&) {
    parsed.exitStatus = 0;
    parsed.out = app.help("", CLI::AppFormatMode::All);
    return parsed;
  } catch (const CLI::CallForVersion& version) {
    parsed.exitStatus = 0;
    parsed.out = std::string(version.what()) + "\n";
    return parsed;
  } catch (const CLI::ParseError& error) {
    return UsageError(error.what());
  }

  if (options.listCompressors) {
    for (const CLI::Option* option :
         {first, last, output, compressor, qualityOption, overwrite, label}) {
      if (option->count() > 0) {
        return UsageError("--list-compressors takes no " + option->get_name() + " (only --json)");
      }
    }
    return parsed;
  }

  if (first->count() == 0) return UsageError("a conversion needs --first");
  if (label->count() > 0) options.label = labelText;

  if (compressor->count() == 0) {
    options.compressor = FindCompressor(kFullFramesFourCC);
  } else {
    options.compressor = MatchCompressor(compressorName);
    if (!options.compressor) {
      for (const CompressorInfo& known : AllCompressors()) {
        if (Lower(compressorName) == Lower(ShownFourCC(known.fourcc)) ||
            Lower(compressorName) == Lower(known.name)) {
          return UsageError(std::string(known.name) + " is not available: this FFmpeg has no " +
                            known.encoder + " encoder");
        }
      }
      return UsageError("no compressor is called \"" + compressorName +
                        "\"; --list-compressors lists them");
    }
  }
  if (qualityOption->count() > 0) {
    if (options.compressor->knob == QualityKnob::kNone) {
      return UsageError(std::string(options.compressor->name) +
                        " has no quality setting; --quality is for " + NamesWithQuality());
    }
    options.quality = static_cast<std::uint32_t>(quality) * 100;
  }
  if (rateOption->count() > 0) {
    options.settings.rate = ParseRate(rate);
    if (!options.settings.rate) {
      return UsageError("--rate " + rate +
                        " is no frame rate: give 24, 24000/1001 or 23.976 (up to 1000)");
    }
  }
  options.settings.look = {*TransferNamed(transfer), *FillNamed(fill)};
  return parsed;
}
