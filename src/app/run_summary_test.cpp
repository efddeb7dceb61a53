#include "app/run_summary.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace {

using Event = std::variant<PassBegan, FrameRepeated, PassEnded, FilesChecked, JobEnded>;

// A run of frames 0001..0600 of 48 x 32 into shot.avi and shot.matte.avi.
PassBegan Began(Pass pass, long long first = 1, long long last = 600, int digits = 4) {
  PassBegan began;
  began.pass = pass;
  began.file = pass == Pass::kColour ? "/clips/shot.avi" : "/clips/shot.matte.avi";
  began.first = first;
  began.last = last;
  began.size = {48, 32};
  began.digits = digits;
  return began;
}

PassEnded Ended(Pass pass, PassEnd end, long long frames, std::string reason = "") {
  return {pass, Began(pass).file, end, frames, std::move(reason)};
}

FrameRepeated Repeated(Pass pass, long long frame, RepeatCause cause, std::string detail = "",
                       FrameSize size = {}) {
  return {pass, frame,   "/clips/shot" + std::to_string(frame) + ".tga", cause, std::move(detail),
          size, {48, 32}};
}

FilesChecked Checked(long long colour, long long matte = -1) {
  FilesChecked checked;
  checked.files.push_back({"/clips/shot.avi", true, colour, colour, false, ""});
  if (matte >= 0) checked.files.push_back({"/clips/shot.matte.avi", true, matte, matte, false, ""});
  return checked;
}

// Both passes whole, with the given repeated frames told in each pass before its end.
std::vector<Event> Created(const std::vector<FrameRepeated>& colour,
                           const std::vector<FrameRepeated>& matte) {
  std::vector<Event> events{Began(Pass::kColour)};
  events.insert(events.end(), colour.begin(), colour.end());
  events.push_back(Ended(Pass::kColour, PassEnd::kFinished, 600));
  events.push_back(Began(Pass::kMatte));
  events.insert(events.end(), matte.begin(), matte.end());
  events.push_back(Ended(Pass::kMatte, PassEnd::kFinished, 600));
  events.push_back(Checked(600, 600));
  events.push_back(JobEnded{JobEnd::kCreated, ""});
  return events;
}

std::vector<FrameRepeated> Missing(Pass pass, long long from, long long to) {
  std::vector<FrameRepeated> frames;
  for (long long n = from; n <= to; ++n) frames.push_back(Repeated(pass, n, RepeatCause::kMissing));
  return frames;
}

struct Case {
  const char* name;
  std::vector<Event> events;
  std::string line;
  std::string written;  // the file the Open Folder button is for
};

TEST(RunSummaryTest, SaysWhatTheRunLeft) {
  const Pass C = Pass::kColour;
  const Pass M = Pass::kMatte;
  const std::string checkedBoth = "Checked: shot.avi and shot.matte.avi, 600 frames each";
  const Case cases[] = {
      {"created", Created({}, {}), checkedBoth, "/clips/shot.avi"},
      {"stopped in the colour pass",
       {Began(C), Ended(C, PassEnd::kStopped, 210), Checked(210), JobEnded{JobEnd::kStopped, ""}},
       "Stopped at frame 210 of 600: shot.avi holds 210 of 600 frames; no matte written. "
       "Checked: shot.avi, 210 frames",
       "/clips/shot.avi"},
      {"stopped in the matte pass",
       {Began(C), Ended(C, PassEnd::kFinished, 600), Began(M), Ended(M, PassEnd::kStopped, 150),
        Checked(600, 150), JobEnded{JobEnd::kStopped, ""}},
       "Stopped at frame 150 of 600 in the matte pass: shot.avi holds 600 of 600 frames, "
       "shot.matte.avi 150 of 600. Checked: shot.avi (600 frames) and shot.matte.avi (150 "
       "frames)",
       "/clips/shot.avi"},
      {"missing in both passes, after a run of missing frames",
       Created(Missing(C, 19, 20), Missing(M, 19, 20)),
       "0019 missing — frame 0018 repeated, both files; 0020 missing — frame 0018 repeated, "
       "both files. " +
           checkedBoth,
       "/clips/shot.avi"},
      {"unreadable in one pass, another size in both, the first frame in the matte pass",
       Created({Repeated(C, 7, RepeatCause::kUnreadable, "improper\nheader"),
                Repeated(C, 9, RepeatCause::kOtherSize, "", {32, 24})},
               {Repeated(M, 1, RepeatCause::kUnreadable),
                Repeated(M, 9, RepeatCause::kOtherSize, "", {32, 24})}),
       "0007 unreadable (improper header) — frame 0006 repeated in shot.avi; 0009 is 32 × 24, "
       "not 48 × 32 — frame 0008 repeated, both files; 0001 unreadable — black written in "
       "shot.matte.avi. " +
           checkedBoth,
       "/clips/shot.avi"},
      {"the names' own width",
       {Began(C, 8, 12, 1), Repeated(C, 10, RepeatCause::kMissing), Ended(C, PassEnd::kFinished, 5),
        Began(M, 8, 12, 1), Ended(M, PassEnd::kFinished, 5), JobEnded{JobEnd::kCreated, ""}},
       "10 missing — frame 9 repeated in shot.avi",
       "/clips/shot.avi"},
      {"many repeated frames", Created(Missing(C, 101, 115), Missing(M, 101, 115)),
       "0101 missing — frame 0100 repeated, both files; 0102 missing — frame 0100 repeated, both "
       "files; 0103 missing — frame 0100 repeated, both files; and 12 more. " +
           checkedBoth,
       "/clips/shot.avi"},
      {"a failed write",
       {Began(C), Ended(C, PassEnd::kWriteFailed, 99, "No space left on device"), Checked(99),
        JobEnded{JobEnd::kFailed, "No space left on device"}},
       "shot.avi holds 99 of 600 frames; no matte written. Checked: shot.avi, 99 frames; No "
       "space left on device",
       "/clips/shot.avi"},
      {"a matte pass that could not start",
       {Began(C), Ended(C, PassEnd::kFinished, 600), Ended(M, PassEnd::kNotStarted, 0, "denied"),
        Checked(600), JobEnded{JobEnd::kFailed, "denied"}},
       "shot.avi holds 600 of 600 frames; no matte written. Checked: shot.avi, 600 frames; denied",
       "/clips/shot.avi"},
      {"a failure before any pass",
       {JobEnded{JobEnd::kFailed, "Frame too large to convert"}},
       "Frame too large to convert",
       ""},
      {"a compressor choice cancelled",
       {Ended(C, PassEnd::kCancelled, 0, "no compressor was chosen"),
        JobEnded{JobEnd::kRefused, ""}},
       "",
       ""},
  };
  for (const Case& c : cases) {
    RunSummary summary;
    for (const Event& event : c.events) {
      std::visit(
          [&summary](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, PassBegan>) summary.OnPassBegan(e);
            if constexpr (std::is_same_v<T, FrameRepeated>) summary.OnFrameRepeated(e);
            if constexpr (std::is_same_v<T, PassEnded>) summary.OnPassEnded(e);
            if constexpr (std::is_same_v<T, FilesChecked>) summary.OnFilesChecked(e);
            if constexpr (std::is_same_v<T, JobEnded>) summary.OnJobEnded(e);
          },
          event);
    }
    EXPECT_EQ(summary.Line(), c.line) << c.name;
    EXPECT_EQ(summary.WrittenFile(), c.written) << c.name;
  }
}

}  // namespace
