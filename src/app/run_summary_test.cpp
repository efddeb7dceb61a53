#include "app/run_summary.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

namespace {

constexpr Pass C = Pass::kColour;
constexpr Pass M = Pass::kMatte;

// A job's events over frames 0001..0600 of 48 x 32 into /clips/shot.avi and shot.matte.avi,
// handed to the summary in the job's order.
struct Events {
  Events& Began(Pass p, long long first = 1, long long last = 600, int digits = 4) {
    pass = p;
    summary.OnPassBegan({p, File(), first, last, {}, 0, 1, 0, 0, RateSource::kSize, digits});
    return *this;
  }
  Events& Repeat(long long n, RepeatCause cause, std::string why = "", FrameSize size = {}) {
    summary.OnFrameRepeated({pass, n, "", cause, std::move(why), size, {48, 32}});
    return *this;
  }
  Events& Missing(long long from, long long to) {
    return from > to ? *this : Repeat(from, RepeatCause::kMissing).Missing(from + 1, to);
  }
  Events& Ended(long long frames, PassEnd end = PassEnd::kFinished) {
    summary.OnPassEnded({pass, File(), end, frames, ""});
    return *this;
  }
  // The colour file checked with the frames it holds (-1: no check), then the job's end.
  Events& Job(JobEnd end, long long frames = -1, std::string why = "") {
    if (frames >= 0) summary.OnFilesChecked({{{"shot.avi", true, frames, frames, false, ""}}});
    summary.OnJobEnded({end, std::move(why)});
    return *this;
  }
  std::string File() const { return pass == C ? "/clips/shot.avi" : "/clips/shot.matte.avi"; }
  RunSummary summary;
  Pass pass = C;
};

// Both passes whole, with the frames repeats tells repeated in each; no files checked.
Events Whole(const std::function<void(Events&)>& repeats) {
  Events events;
  for (const Pass p : {C, M}) {
    repeats(events.Began(p));
    events.Ended(600);
  }
  return std::move(events.Job(JobEnd::kCreated));
}

TEST(RunSummaryTest, SaysWhatTheJobLeft) {
  const struct {
    Events events;
    std::string line;
    bool wrote = true;  // the Open Folder button is shown
  } cases[] = {
      {Events().Began(C).Ended(600).Began(M).Ended(600).Job(JobEnd::kCreated, 600),
       "Checked: shot.avi, 600 frames"},
      {Events().Began(C).Ended(210, PassEnd::kStopped).Job(JobEnd::kStopped, 210),
       "Stopped at frame 210 of 600: shot.avi holds 210 of 600 frames; no matte written. "
       "Checked: shot.avi, 210 frames"},
      {Events().Began(C).Ended(600).Began(M).Ended(150, PassEnd::kStopped).Job(JobEnd::kStopped),
       "Stopped at frame 150 of 600 in the matte pass: shot.avi holds 600 of 600 frames, "
       "shot.matte.avi 150 of 600"},
      // Frames in a row as one range; a few ranges named, the frames of the rest counted.
      {Whole([](Events& e) {
         e.Missing(19, 20).Missing(101, 101).Missing(103, 103).Missing(105, 105).Missing(200, 209);
       }),
       "0019–0020 missing — frame 0018 repeated, both files; 0101 missing — frame 0100 repeated, "
       "both files; 0103 missing — frame 0102 repeated, both files; and 11 more"},
      {Whole([](Events& e) {
         if (e.pass == C) e.Repeat(7, RepeatCause::kUnreadable, "improper\nheader");
         for (const long long n : {9, 10}) e.Repeat(n, RepeatCause::kOtherSize, "", {32, 24});
       }),
       "0007 unreadable (improper header) — frame 0006 repeated in shot.avi; 0009–0010 are 32 × "
       "24, not 48 × 32 — frame 0008 repeated, both files"},
      // Frame names as the run writes them: "9", not "09", before "10"; black before the first.
      {Events().Began(C, 8, 12, 1).Missing(8, 8).Missing(10, 10).Ended(5).Job(JobEnd::kFailed),
       "shot.avi holds 5 of 5 frames; no matte written. 8 missing — black written in shot.avi; 10 "
       "missing — frame 9 repeated in shot.avi"},
      {Events().Began(C).Ended(99, PassEnd::kWriteFailed).Job(JobEnd::kFailed, 99, "full"),
       "shot.avi holds 99 of 600 frames; no matte written. Checked: shot.avi, 99 frames; full"},
      {Events().Ended(0, PassEnd::kCancelled).Job(JobEnd::kRefused), "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.events.summary.Line(), c.line);
    EXPECT_EQ(c.events.summary.WrittenFile(), c.wrote ? "/clips/shot.avi" : "");
  }
}

}  // namespace
