#include "app/job_progress.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A job told to the follower, one event a step; a frame sets the clock to its time.
using Step = std::function<void(JobProgress&, double& now)>;
constexpr Pass kColour = Pass::kColour;
constexpr Pass kMatte = Pass::kMatte;

std::string FileOf(Pass pass) { return pass == kColour ? "/o/shot.avi" : "/o/shot.matte.avi"; }
Step Began(Pass pass) {
  return [=](JobProgress& p, double&) {
    p.OnPassBegan({pass, FileOf(pass), 1001, 1600, {}, 25, 1, 0, 0, RateSource::kSize});
  };
}
Step Frame(Pass pass, long long place, double at) {
  return [=](JobProgress& p, double& now) {
    now = at;
    p.OnFrameWriting({pass, 1000 + place, place, 600});
  };
}
Step Ended(Pass pass, PassEnd end, long long frames, const std::string& reason = "") {
  return [=](JobProgress& p, double&) { p.OnPassEnded({pass, FileOf(pass), end, frames, reason}); };
}
// The check of both files; a problem: the matte file's.
Step Checked(const std::string& problem = "") {
  return [=](JobProgress& p, double&) {
    p.OnFilesChecked({{{FileOf(kColour), true, 600, 600, false, ""},
                       {FileOf(kMatte), problem.empty(), 599, 600, false, problem}}});
  };
}
Step Job(JobEnd end, const std::string& reason = "") {
  return [=](JobProgress& p, double&) { p.OnJobEnded({end, reason}); };
}
// The colour pass whole, 600 frames at 30 a second, then the matte pass begun.
std::vector<Step> ToMatte(std::vector<Step> more) {
  std::vector<Step> steps = {Began(kColour), Frame(kColour, 1, 10.0), Frame(kColour, 600, 29.97),
                             Ended(kColour, PassEnd::kFinished, 600), Began(kMatte)};
  steps.insert(steps.end(), more.begin(), more.end());
  return steps;
}

TEST(JobProgressTest, ShowsWhereTheRunIsAndHowItEnded) {
  const struct {
    const char* name;
    std::vector<Step> steps;
    std::string line;
    double fraction;
    std::string notice;  // its title; empty: the run goes on
  } rows[] = {
      // After a first frame of 4 s (the compressor's setup), 100 frames in 4 s: 499 colour and
      // 600 matte frames left at 25 a second.
      {"colour",
       {Began(kColour), Frame(kColour, 1, 6.0), Frame(kColour, 2, 10.0), Frame(kColour, 102, 14.0)},
       "Colour 102 of 600 \u00B7 25 fps \u00B7 0:44 left",
       101.0 / 1200,
       ""},
      {"matte at its own rate",
       ToMatte({Frame(kMatte, 1, 30.0), Frame(kMatte, 2, 30.5), Frame(kMatte, 6, 31.5)}),
       "Matte 6 of 600 \u00B7 4.0 fps \u00B7 2:29 left", 605.0 / 1200, ""},
      {"written, told before the job's end and kept after it",
       ToMatte({Ended(kMatte, PassEnd::kFinished, 600), Checked(), Job(JobEnd::kCreated)}),
       "shot.avi and shot.matte.avi written, 600 frames", 1.0, "Conversion done"},
      {"stopped in the colour pass",
       {Began(kColour), Frame(kColour, 101, 3.0), Ended(kColour, PassEnd::kStopped, 100), Checked(),
        Job(JobEnd::kStopped)},
       "shot.avi stopped at frame 100 of 600; no matte written",
       100.0 / 1200,
       "Conversion stopped"},
      {"stopped in the matte pass", ToMatte({Ended(kMatte, PassEnd::kStopped, 5), Checked()}),
       "shot.avi written, shot.matte.avi stopped at frame 5 of 600", 605.0 / 1200,
       "Conversion stopped"},
      {"a frame not written",
       {Began(kColour), Ended(kColour, PassEnd::kWriteFailed, 57, "No space left"), Checked()},
       "shot.avi failed after 57 of 600 frames: No space left",
       57.0 / 1200,
       "Conversion failed"},
      {"a file that does not read back",
       ToMatte({Ended(kMatte, PassEnd::kFinished, 600), Checked("shot.matte.avi holds 599")}),
       "shot.matte.avi holds 599", 1.0, "Conversion failed"},
      {"a pass that could not start",
       ToMatte({Ended(kMatte, PassEnd::kNotStarted, 0, "Invalid argument"), Job(JobEnd::kFailed)}),
       "shot.matte.avi not written: Invalid argument", 0.5, "Conversion failed"},
      {"refused, after a run that ended",
       ToMatte({Ended(kMatte, PassEnd::kFinished, 600), Checked(), Job(JobEnd::kCreated),
                Job(JobEnd::kRefused, "no compressor was chosen")}),
       "Nothing written: no compressor was chosen", 0.0, "Nothing converted"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    double now = 0.0;
    JobProgress progress([] {}, [&now] { return now; });
    for (const Step& step : row.steps) step(progress, now);
    const ProgressView view = progress.Take();
    EXPECT_EQ(view.line, row.line);
    EXPECT_NEAR(view.fraction, row.fraction, 1e-9);
    EXPECT_EQ(view.running, row.notice.empty());
    EXPECT_EQ(view.notice ? view.notice->title + ": " + view.notice->body : "",
              row.notice.empty() ? "" : row.notice + ": " + row.line);
    EXPECT_FALSE(progress.Take().notice) << "a run's notice is told once";
  }
}

TEST(JobProgressTest, AsksForAViewAtMostTenTimesASecondAndNeverTwiceUntaken) {
  double now = 0.0;
  int posts = 0;
  JobProgress progress([&posts] { ++posts; }, [&now] { return now; }, 0.1);
  Began(kColour)(progress, now);
  Frame(kColour, 1, 0.01)(progress, now);
  EXPECT_EQ(posts, 1) << "the last view is not taken yet";
  progress.Take();
  for (int place = 2; place <= 9; ++place) Frame(kColour, place, 0.01 * place)(progress, now);
  EXPECT_EQ(posts, 1) << "frames within a tenth of a second of the last view";
  Frame(kColour, 10, 0.11)(progress, now);
  EXPECT_EQ(posts, 2);
  EXPECT_EQ(progress.Take().line, "Colour 10 of 600 \u00B7 89 fps \u00B7 0:13 left");
  Ended(kColour, PassEnd::kStopped, 10)(progress, now);
  EXPECT_EQ(posts, 3) << "a pass's end is shown at once";
}

}  // namespace
