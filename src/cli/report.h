#pragma once
// What the command line says at the end with --json: one object on standard output.
//
//   {"status": 0, "stopped": false,
//    "colour": {"path": "shot.avi", "written": true, "frames": 240},
//    "matte": {"path": "shot.matte.avi", "written": true, "frames": 240},
//    "first_frame": 1, "last_frame": 240, "frames": 240,
//    "compressor": {"fourcc": "FFV1", "name": "FFV1", "quality": null},
//    "width": 1920, "height": 1080, "rate": {"num": 25, "den": 1},
//    "repeated": [{"frame": 17, "path": "shot0017.tga", "cause": "missing", "detail": "",
//                  "passes": ["colour", "matte"]}],
//    "messages": ["Error on opening shot0017.tga", ..., "AVI File Created"],
//    "check": "Checked: shot.avi and shot.matte.avi, 240 frames each, lossless frames
//              identical",
//    "end": "created", "reason": null}
//
// Each file's record also says "left_from_earlier_run": true when this run did not write it and
// the file there is one from before (an older matte after a stopped colour pass), and the
// object ends with "inferred": {"last": ..., "output": ...}, what was taken from the first
// file because the options left it out ({} when they gave both).
//
// A repeated frame of another size also has "size" and "expected" ({"width", "height"}); "end"
// is "created", "stopped", "refused" or "failed", and "reason" says why it was not "created"
// where the job said why. A string holding bytes that are not UTF-8 (a path may) is printed with
// U+FFFD in their place, and the object then ends with "paths_not_utf8": true.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/console_user.h"
#include "dialog/job_events.h"
#include "media/compressor_catalogue.h"

/// One output file as the run left it.
struct OutputFile {
  std::string path;
  bool written = false;             ///< this run wrote it (it may be a file from before otherwise)
  long long frames = 0;             ///< the frames it holds, read back from it; 0 when not written
  bool leftFromEarlierRun = false;  ///< not written, and a file of that name was there before
};

struct ConversionReport {
  int status = 0;
  bool stopped = false;
  OutputFile colour;
  OutputFile matte;
  long long firstFrame = 0;
  long long lastFrame = 0;
  const CompressorInfo* compressor = nullptr;
  std::uint32_t quality = kDefaultQuality;  ///< Q * 100, or kDefaultQuality
  int width = 0;                            ///< 0: not known (the first frame was not read)
  int height = 0;
  std::uint32_t rate = 0;  ///< frames per second as rate / scale; rate 0: not known
  std::uint32_t scale = 1;
  std::vector<RepeatedFrame> repeated;
  std::vector<std::string> messages;
  std::optional<FilesChecked> check;  ///< what the check of the written files found
  JobEnd end = JobEnd::kFailed;
  std::string reason;
};

/// The report as the object above; unknown values are null.
nlohmann::ordered_json ReportJson(const ConversionReport& report);

/// The JSON object of a run that ended before converting: {"status": 2, "error": "..."}.
nlohmann::ordered_json ErrorJson(int status, const std::string& error);

/// --list-compressors --json: an array of {"fourcc", "name", "lossless", "keeps_alpha",
/// "grey_matte", "quality": {"default": 95} or null, "summary": the compressor dialog's line
/// without a size, "typical_bytes_per_pixel": what its size estimate starts from}, in the
/// catalogue's order.
nlohmann::ordered_json CompressorListJson();
