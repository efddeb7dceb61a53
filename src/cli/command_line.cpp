#include "cli/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "cli/console.h"
#include "cli/console_user.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/stop_signals.h"
#include "cli/written_file.h"
#include "dialog/converter_dlg.h"
#include "dialog/texts.h"
#include "job/conversion.h"
#include "media/library_log.h"
#include "scan/run_scan.h"
#include "sequence/sequence_name.h"

namespace {

void Print(std::FILE* stream, const std::string& text) {
  std::fputs(text.c_str(), stream);
  std::fflush(stream);
}

// JSON strings are UTF-8, and a path need not be: a byte that is not UTF-8 is written as U+FFFD
// and the object says so ("paths_not_utf8": true) rather than the report being lost.
void PrintJson(const nlohmann::ordered_json& json) {
  std::string text;
  try {
    text = json.dump();
  } catch (const nlohmann::ordered_json::type_error&) {
    nlohmann::ordered_json marked = json;
    if (marked.is_object()) marked["paths_not_utf8"] = true;
    text = marked.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  }
  Print(stdout, text + "\n");
}

bool AsksForJson(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) return true;
  }
  return false;
}

// The first line of a usage error, without the program's name before it.
std::string ErrorLine(const std::string& err) {
  std::string line = err.substr(0, err.find('\n'));
  const std::string lead = "tga2avi: ";
  if (line.compare(0, lead.size(), lead) == 0) line.erase(0, lead.size());
  return line;
}

// What the run left at path: written by it when its pass began or the file changed, and then
// the frames the pass left in it.
OutputFile Outcome(const std::string& path, const PassRecord& pass, const FileStamp& before) {
  OutputFile file;
  file.path = path;
  file.written = pass.began || StampOf(path) != before;
  if (file.written && pass.ended) file.frames = pass.ended->framesInFile;
  file.leftFromEarlierRun = !file.written && before.exists && StampOf(path).exists;
  return file;
}

// The line said after a stop: how far each file got.
std::string StopLine(const ConversionReport& report, long long count) {
  std::string line = "stopped by the user";
  if (!report.colour.written) return line + "; nothing was written";
  line += ": " + report.colour.path + " holds " + std::to_string(report.colour.frames) + " of " +
          std::to_string(count) + " frames";
  if (!report.matte.written) {
    line += ", and no matte file was written";
    if (report.matte.leftFromEarlierRun) {
      line += " (" + report.matte.path + " is left from an earlier run)";
    }
    return line;
  }
  return line + ", " + report.matte.path + " " + std::to_string(report.matte.frames) + " of " +
         std::to_string(count);
}

std::string RepeatedLine(const std::vector<RepeatedFrame>& repeated) {
  std::string numbers;
  for (const RepeatedFrame& frame : repeated) {
    if (!numbers.empty()) numbers += ", ";
    numbers += std::to_string(frame.first.frame);
  }
  return repeated.size() == 1 ? "frame " + numbers + " was repeated (see above)"
                              : "frames " + numbers + " were repeated (see above)";
}

// Fills in the last file and the output the options left out, as the window suggests them
// from the first file: the run's highest-numbered file (the first file itself when its folder
// shows none, so that the job's own checks say what is wrong), and the run's name + ".avi"
// beside the frames. inferred gets what was filled in; the result is a usage error's text, or
// "" when the conversion can go on.
std::string InferRun(CommandLine& options, nlohmann::ordered_json& inferred) {
  inferred = nlohmann::ordered_json::object();
  if (options.last.empty()) {
    options.last = LastFileOfRun(options.first);
    if (options.last.empty()) options.last = options.first;
    inferred["last"] = options.last;
  }
  if (options.output.empty()) {
    options.output = SuggestedAviFile(options.first);
    if (options.output.empty()) {
      return "the name of " + options.first + " gives no name for the AVI file; give --output";
    }
    inferred["output"] = options.output;
  }
  return "";
}

const char* RateSourceName(RateSource source) {
  switch (source) {
    case RateSource::kChosen:
      return "chosen";
    case RateSource::kHeader:
      return "header";
    default:
      return "height";
  }
}

int Convert(const CommandLine& options, const nlohmann::ordered_json& inferred) {
  Console console(stderr, ::isatty(STDERR_FILENO) != 0);
  if (options.label) {
    console.SetLabel(options.label->empty()
                         ? std::filesystem::path(options.output).filename().string()
                         : *options.label);
  }
  const bool ask = console.Terminal() && ::isatty(STDIN_FILENO) != 0;
  const std::string mattePath = MatteFileName(CString(options.output)).str();
  const FileStamp colourBefore = StampOf(options.output);
  const FileStamp matteBefore = StampOf(mattePath);

  StopSignals::Clear();
  const StopSignals signals;
  CConverterDlg dlg;
  ConsoleUser user(console, options, ask);
  user.Attach(dlg);
  dlg.m_settings = options.settings;
  if (!EndsInAvi(options.output)) {
    console.Say("the output name does not end in .avi; both files are AVI files all the same");
  }
  // The job asks about the colour file only (the window's one question); here an existing
  // matte is protected as the colour file is, before anything is written. Anything there that
  // is no regular file is the job's to refuse.
  std::error_code noFile;
  if (std::filesystem::is_regular_file(mattePath, noFile) &&
      !user.MayWriteOver(mattePath, "AVI file exists: " + mattePath + ", overwrite?")) {
    user.OnJobEnded({JobEnd::kRefused, "the matte file exists and was not overwritten"});
  } else {
    try {
      dlg.OnConvert();
    } catch (const std::exception& error) {
      CString text;
      text.Format("Conversion stopped: %s", error.what());
      dlg.MessageBox(text, kConverterCaption, MB_OK);
    }
  }

  ConversionReport report;
  report.colour = Outcome(options.output, user.PassOf(0), colourBefore);
  report.matte = Outcome(mattePath, user.PassOf(1), matteBefore);
  report.firstFrame = SplitSequencePath(CString(options.first)).number;
  report.lastFrame = SplitSequencePath(CString(options.last)).number;
  const long long count =
      report.lastFrame >= report.firstFrame ? report.lastFrame - report.firstFrame + 1 : 0;
  report.compressor = options.compressor;
  report.quality = options.quality;
  std::optional<RateSource> rateSource;
  if (const std::optional<PassBegan>& began = user.Began()) {
    rateSource = began->rateSource;
    report.width = began->size.width;
    report.height = began->size.height;
    report.rate = began->rate;
    report.scale = began->scale;
  } else if (const std::optional<CompressorRequest> request = user.Request()) {
    report.width = request->width;
    report.height = request->height;
    if (const std::optional<FrameGeometry> geometry =
            MakeFrameGeometry(request->width, request->height)) {
      const JobRate rate =
          ChooseRate(options.settings.rate, HeaderFrameRate(options.first), *geometry);
      report.rate = rate.rate.num;
      report.scale = rate.rate.den;
      rateSource = rate.source;
    }
  }
  report.repeated = user.Repeated();
  report.messages = user.Messages();
  report.check = user.Check();
  const JobEnded ended = user.Ended().value_or(JobEnded{JobEnd::kFailed, "the job did not end"});
  report.end = ended.end;
  report.reason = ended.reason;

  const bool converted = ended.end == JobEnd::kCreated && report.repeated.empty();
  report.stopped = ended.end == JobEnd::kStopped || (StopSignals::Requested() && !converted);
  if (report.stopped) {
    report.status = kExitStopped;
    console.Say(StopLine(report, count));
  } else if (converted) {
    report.status = kExitConverted;
  } else {
    report.status = kExitFailed;
    if (!report.repeated.empty()) console.Say(RepeatedLine(report.repeated));
  }
  if (options.json) {
    nlohmann::ordered_json json = ReportJson(report);
    json["colour"]["left_from_earlier_run"] = report.colour.leftFromEarlierRun;
    json["matte"]["left_from_earlier_run"] = report.matte.leftFromEarlierRun;
    json["inferred"] = inferred;
    json["rate_source"] =
        rateSource ? nlohmann::ordered_json(RateSourceName(*rateSource)) : nullptr;
    json["fill"] = FillName(options.settings.look.fill);
    json["transfer"] = TransferName(options.settings.look.transfer);
    PrintJson(json);
  }
  dlg.SetBackend(nullptr);
  dlg.SetObserver(nullptr);
  return report.status;
}

}  // namespace

void OpenStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free descriptor: fd itself, as those below it are open by now.
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

int RunCommandLine(int argc, const char* const* argv) {
  SilenceLibraryLog();
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  if (parsed.exitStatus >= 0) {
    Print(stdout, parsed.out);
    Print(stderr, parsed.err);
    if (parsed.exitStatus != 0 && AsksForJson(argc, argv)) {
      PrintJson(ErrorJson(parsed.exitStatus, ErrorLine(parsed.err)));
    }
    return parsed.exitStatus;
  }
  CommandLine options = parsed.options;
  if (options.listCompressors) {
    if (options.json) {
      PrintJson(CompressorListJson());
    } else {
      Print(stdout, CompressorListText());
    }
    return kExitConverted;
  }
  nlohmann::ordered_json inferred;
  const std::string unusable = InferRun(options, inferred);
  if (!unusable.empty()) {
    Print(stderr, "tga2avi: " + unusable + "\n");
    if (options.json) PrintJson(ErrorJson(kExitUsage, unusable));
    return kExitUsage;
  }
  return Convert(options, inferred);
}
