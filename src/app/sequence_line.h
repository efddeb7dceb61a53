#pragma once
// The sequence line under the AVI box: what the Convert command would do with the run the two
// fields name, worked out off the window's thread by a RunScanner and put in plain words.

#include <functional>
#include <optional>
#include <string>

#include "app/newest_request.h"
#include "frames/frame_rate.h"
#include "scan/run_scan.h"

/// What the line says beside the scan: the rate the job would take and the AVI name.
struct LineSettings {
  std::string aviFile;                  ///< a name not ending in ".avi" is warned about
  std::optional<FrameRate> rate;        ///< the rate chosen; nothing: from the frames
  std::optional<FrameRate> headerRate;  ///< what the first frame's header declares
};

/// The scan in words (UTF-8): "6 frames, 1 missing: 0004 · 48 × 32 · 29.97 fps", then frames
/// of another size and unreadable ones when there are any; a check Convert would fail, in that
/// check's own words. A rate not given by the frames' height says where it came from
/// ("24 fps from the frames' header", "50 fps as set"), and an AVI name without ".avi" is
/// warned about last.
std::string DescribeRun(const RunScan& scan, const LineSettings& settings = {});

/// What the window asks to be looked over: the two fields as they read, and whether the first
/// file was just chosen (browsed or dropped), so that the empty fields may get suggestions.
struct ScanRequest {
  std::string firstFile;
  std::string lastFile;
  bool suggest = false;
  std::string aviFile;            ///< the AVI field as it reads
  std::optional<FrameRate> rate;  ///< the Rate choice; nothing: from the frames
  /// With suggest: the first file was typed, so the suggestions are only offered; the run is
  /// looked over as the fields read, not as the suggestions would make it.
  bool offerOnly = false;
};

struct ScanAnswer {
  unsigned long long id = 0;  ///< the request's number, from RunScanner::Request
  ScanRequest request;
  std::string suggestedLast;  ///< with suggest and an empty last field: the run's last file
  std::string suggestedAvi;   ///< with suggest: the run's AVI name
  std::string line;           ///< the sequence line; empty when a field names no file
};

/// One thread that looks over the run the window asks about. A newer request supersedes an
/// older one: the older scan is given up between two frames and never answered. Answers are
/// handed to deliver on the scanner's thread (the window carries them to its own). Destroying
/// the scanner gives up the scan under way and waits for the thread.
class RunScanner {
 public:
  explicit RunScanner(std::function<void(ScanAnswer)> deliver);
  RunScanner(const RunScanner&) = delete;
  RunScanner& operator=(const RunScanner&) = delete;

  /// Queues request in place of any not yet started, gives up the one under way, and returns
  /// the request's number.
  unsigned long long Request(ScanRequest request);
  /// Whether id is the newest request: an answer to an older one is stale.
  bool IsLatest(unsigned long long id) const { return m_thread.IsLatest(id); }

 private:
  void Scan(unsigned long long id, ScanRequest& request, const std::function<bool()>& givenUp);

  std::function<void(ScanAnswer)> m_deliver;
  NewestRequestThread<ScanRequest> m_thread;  // last: it starts once m_deliver is there
};
