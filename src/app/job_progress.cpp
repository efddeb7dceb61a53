#include "app/job_progress.h"

#include <chrono>
#include <cstdio>
#include <utility>

namespace {

constexpr const char* kDot = " \u00B7 ";

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int Index(Pass pass) { return pass == Pass::kColour ? 0 : 1; }

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "28" frames a second, or "2.5" below ten, where a whole number would say too little.
std::string RateText(double fps) {
  char text[32];
  std::snprintf(text, sizeof text, fps >= 9.95 ? "%.0f" : "%.1f", fps);
  return text;
}

std::string Frames(long long count) {
  return std::to_string(count) + (count == 1 ? " frame" : " frames");
}

std::string Of(long long place, long long count) {
  return std::to_string(place) + " of " + std::to_string(count);
}

std::string WithReason(const std::string& text, const std::string& reason) {
  return reason.empty() ? text : text + ": " + reason;
}

}  // namespace

JobProgress::JobProgress(std::function<void()> post, Clock clock, double every)
    : m_post(std::move(post)),
      m_clock(clock ? std::move(clock) : Clock(SteadySeconds)),
      m_every(every) {}

template <typename Change>
void JobProgress::Apply(bool always, Change change) {
  const double now = m_clock();
  bool due = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_jobOver) {
      // The first event of the next job: nothing of the last one stays but the meter, which its
      // first pass sets anew.
      m_jobOver = false;
      m_began = false;
      m_files[0].clear();
      m_files[1].clear();
      m_ended[0].reset();
      m_ended[1].reset();
      m_checked.reset();
      m_outcome.reset();
      m_noticed = false;
    }
    change(now);
    // The view not yet taken will be the newest; a frame waits its turn, anything else not.
    if (!m_posted && (always || !m_everPosted || now - m_lastPost >= m_every)) {
      m_posted = due = m_everPosted = true;
      m_lastPost = now;
    }
  }
  if (due && m_post) m_post();
}

void JobProgress::OnPassBegan(const PassBegan& event) {
  Apply(true, [&](double) {
    const int pass = Index(event.pass);
    if (pass == 0) m_meter = JobMeter(event.last >= event.first ? event.last - event.first + 1 : 0);
    m_files[pass] = BaseName(event.file);
    m_pass = pass;
    m_began = true;
  });
}

void JobProgress::OnFrameWriting(const FrameWriting& event) {
  Apply(false, [&](double now) { m_meter.Update(Index(event.pass), event.place, now); });
}

void JobProgress::OnPassEnded(const PassEnded& event) {
  Apply(true, [&](double) {
    const int pass = Index(event.pass);
    m_ended[pass] = event;
    if (m_files[pass].empty()) m_files[pass] = BaseName(event.file);
  });
}

void JobProgress::OnFilesChecked(const FilesChecked& event) {
  Apply(true, [&](double) {
    m_checked = event;
    // Both passes are over: the run has ended, before the job tells "AVI File Created".
    m_outcome = Concluded(nullptr);
  });
}

void JobProgress::OnJobEnded(const JobEnded& event) {
  Apply(true, [&](double) {
    if (!m_outcome) m_outcome = Concluded(&event);
    m_jobOver = true;
  });
}

JobProgress::Outcome JobProgress::Concluded(const JobEnded* ended) const {
  const long long count = m_meter.Count();
  Outcome outcome;
  // The bar stays where the last pass that ended left it.
  for (int pass = 0; pass < 2; ++pass) {
    if (m_ended[pass]) outcome.fraction = m_meter.Fraction(pass, m_ended[pass]->framesInFile);
  }
  RunNotice& notice = outcome.notice;
  const std::string& colour = m_files[0];
  const std::string& matte = m_files[1];

  for (int pass = 0; pass < 2; ++pass) {
    const std::optional<PassEnded>& end = m_ended[pass];
    if (!end) continue;
    if (end->end == PassEnd::kWriteFailed) {
      notice = {"Conversion failed", WithReason(m_files[pass] + " failed after " +
                                                    Of(end->framesInFile, count) + " frames",
                                                end->reason)};
      return outcome;
    }
    if (end->end == PassEnd::kNotStarted) {
      notice = {"Conversion failed", WithReason(m_files[pass] + " not written", end->reason)};
      return outcome;
    }
  }
  if (m_checked) {
    for (const FileCheck& file : m_checked->files) {
      if (file.ok) continue;
      notice = {"Conversion failed", file.problem.empty()
                                         ? BaseName(file.file) + " does not hold what was written"
                                         : file.problem};
      return outcome;
    }
  }
  if (m_ended[0] && m_ended[0]->end == PassEnd::kStopped) {
    notice = {"Conversion stopped", colour + " stopped at frame " +
                                        Of(m_ended[0]->framesInFile, count) + "; no matte written"};
  } else if (m_ended[1] && m_ended[1]->end == PassEnd::kStopped) {
    notice = {"Conversion stopped", colour + " written, " + matte + " stopped at frame " +
                                        Of(m_ended[1]->framesInFile, count)};
  } else if (m_checked || (ended && ended->end == JobEnd::kCreated)) {
    notice = {"Conversion done", colour + " and " + matte + " written, " + Frames(count)};
  } else if (ended->end == JobEnd::kStopped) {
    notice = {"Conversion stopped", "Stopped before any frame was written"};
  } else if (ended->end == JobEnd::kRefused) {
    notice = {"Nothing converted", WithReason("Nothing written", ended->reason)};
  } else {
    notice = {"Conversion failed", WithReason("Failed", ended->reason)};
  }
  return outcome;
}

ProgressView JobProgress::Take() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_posted = false;
  ProgressView view;
  if (m_outcome) {
    view.fraction = m_outcome->fraction;
    view.line = m_outcome->notice.body;
    if (!m_noticed) view.notice = m_outcome->notice;
    m_noticed = true;
    return view;
  }
  if (!m_began) return view;  // no run yet, or a new job before its first pass
  view.running = true;
  const bool framesOfThisPass = m_meter.Started() && m_meter.Pass() == m_pass;
  view.fraction = framesOfThisPass ? m_meter.Fraction() : m_meter.Fraction(m_pass, 0);
  view.line = std::string(m_pass == 0 ? "Colour " : "Matte ") +
              Of(framesOfThisPass ? m_meter.Place() : 1, m_meter.Count());
  if (framesOfThisPass) {
    if (const std::optional<double> fps = m_meter.Rate()) {
      view.line +=
          kDot + RateText(*fps) + " fps" + kDot + ClockText(*m_meter.SecondsLeft()) + " left";
    }
  }
  return view;
}
