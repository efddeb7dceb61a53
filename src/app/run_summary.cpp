#include "app/run_summary.h"

#include <algorithm>
#include <string>
#include <utility>

#include "job/check_files.h"
#include "sequence/sequence_name.h"

namespace {

int Index(Pass pass) { return pass == Pass::kColour ? 0 : 1; }

std::string FileNamePart(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string SizeText(const FrameSize& size) {
  return std::to_string(size.width) + " × " + std::to_string(size.height);
}

// The reader's words on one line: the sequence line has room for a few lines of text only.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
  return text;
}

// Whether two frames were repeated for the same reason, told in the same words.
bool SameReason(const FrameRepeated& a, const FrameRepeated& b) {
  return a.cause == b.cause && a.detail == b.detail && a.size.width == b.size.width &&
         a.size.height == b.size.height;
}

// Whether the pass left its file on disk with the frames it wrote.
bool LeftAFile(const std::optional<PassEnded>& ended) {
  return ended && (ended->end == PassEnd::kFinished || ended->end == PassEnd::kStopped ||
                   ended->end == PassEnd::kWriteFailed);
}

}  // namespace

bool RunSummary::Alike(const Repeat& a, const Repeat& b) {
  return a.event.frame == b.event.frame && a.last == b.last && a.standIn == b.standIn &&
         SameReason(a.event, b.event);
}

void RunSummary::OnPassBegan(const PassBegan& event) { m_began[Index(event.pass)] = event; }

void RunSummary::OnFrameRepeated(const FrameRepeated& event) {
  const int pass = Index(event.pass);
  std::vector<Repeat>& repeats = m_repeats[pass];
  const bool follows = !repeats.empty() && repeats.back().last == event.frame - 1;
  // The frame written in its place is the last one before it that was used as it was (frames
  // come in order): the one just before, or the stand-in of the repeated frames it follows, or
  // none (black) at the start of the run.
  const long long first = m_began[pass] ? m_began[pass]->first : 0;
  std::optional<long long> standIn;
  if (event.frame > first) standIn = follows ? repeats.back().standIn : event.frame - 1;
  // Frames in a row repeated for the same reason are told as one range.
  if (follows && SameReason(repeats.back().event, event)) {
    repeats.back().last = event.frame;
    return;
  }
  repeats.push_back({event, event.frame, standIn});
}

void RunSummary::OnPassEnded(const PassEnded& event) {
  m_ended[Index(event.pass)] = event;
  if (m_writtenFile.empty() && LeftAFile(event)) m_writtenFile = event.file;
}

void RunSummary::OnFilesChecked(const FilesChecked& event) { m_checked = event; }

void RunSummary::OnJobEnded(const JobEnded& event) { m_jobEnded = event; }

std::string RunSummary::FrameName(long long n) const {
  const int digits = m_began[0] ? m_began[0]->digits : m_began[1] ? m_began[1]->digits : 0;
  return FrameFileName(SequenceName(), digits, static_cast<int>(n)).str();
}

std::string RunSummary::HoldingsSentence() const {
  if (!m_began[0] || !LeftAFile(m_ended[0])) return "";
  const PassEnded& colour = *m_ended[0];
  const bool matteWritten = LeftAFile(m_ended[1]);
  if (colour.end == PassEnd::kFinished && matteWritten && m_ended[1]->end == PassEnd::kFinished) {
    return "";  // both whole: the check says what they hold
  }
  const long long count = m_began[0]->last - m_began[0]->first + 1;
  const std::string ofCount = " of " + std::to_string(count);
  std::string line;
  for (int pass = 0; pass < 2; ++pass) {
    if (m_ended[pass] && m_ended[pass]->end == PassEnd::kStopped) {
      const long long frames = m_ended[pass]->framesInFile;
      line = frames == 0 ? "Stopped before the first frame"
                         : "Stopped at frame " + std::to_string(frames) + ofCount;
      if (pass == 1) line += " in the matte pass";
      line += ": ";
    }
  }
  line += FileNamePart(colour.file) + " holds " + std::to_string(colour.framesInFile) + ofCount +
          " frames";
  if (!matteWritten) return line + "; no matte written";
  return line + ", " + FileNamePart(m_ended[1]->file) + " " +
         std::to_string(m_ended[1]->framesInFile) + ofCount;
}

std::string RunSummary::RepeatText(const Repeat& repeat, int pass, bool both) const {
  const FrameRepeated& event = repeat.event;
  const bool range = repeat.last > event.frame;
  std::string text = FrameName(event.frame) + (range ? "–" + FrameName(repeat.last) : "");
  switch (event.cause) {
    case RepeatCause::kMissing:
      text += " missing";
      break;
    case RepeatCause::kUnreadable:
      text += " unreadable";
      if (!event.detail.empty()) text += " (" + OneLine(event.detail) + ")";
      break;
    case RepeatCause::kOtherSize:
      text +=
          (range ? " are " : " is ") + SizeText(event.size) + ", not " + SizeText(event.expected);
      break;
  }
  text +=
      repeat.standIn ? " — frame " + FrameName(*repeat.standIn) + " repeated" : " — black written";
  if (both) return text + ", both files";
  return m_began[pass] ? text + " in " + FileNamePart(m_began[pass]->file) : text;
}

std::string RunSummary::RepeatsText() const {
  // The two passes' ranges in frame order; a range both passes told alike is told once.
  const std::vector<Repeat>& colour = m_repeats[0];
  const std::vector<Repeat>& matte = m_repeats[1];
  std::string text;
  std::size_t told = 0;
  long long untold = 0;  // frames of the ranges past the first few
  for (std::size_t c = 0, m = 0; c < colour.size() || m < matte.size();) {
    const bool both = c < colour.size() && m < matte.size() && Alike(colour[c], matte[m]);
    const bool fromColour = both || m == matte.size() ||
                            (c < colour.size() && colour[c].event.frame <= matte[m].event.frame);
    const Repeat& repeat = fromColour ? colour[c++] : matte[m++];
    if (both) ++m;
    if (told++ < kListedRepeats) {
      text += (text.empty() ? "" : "; ") + RepeatText(repeat, fromColour ? 0 : 1, both);
    } else {
      untold += repeat.last - repeat.event.frame + 1;
    }
  }
  if (untold > 0) text += "; and " + std::to_string(untold) + " more";
  return text;
}

std::string RunSummary::Line() const {
  std::vector<std::string> sentences;
  if (std::string holdings = HoldingsSentence(); !holdings.empty()) {
    sentences.push_back(std::move(holdings));
  }
  if (std::string repeats = RepeatsText(); !repeats.empty()) sentences.push_back(repeats);
  bool checkFailed = false;
  if (m_checked) {
    if (std::string check = CheckLine(*m_checked); !check.empty()) {
      sentences.push_back(std::move(check));
    }
    for (const FileCheck& file : m_checked->files) checkFailed = checkFailed || !file.ok;
  }
  std::string line;
  for (const std::string& sentence : sentences) {
    line += (line.empty() ? "" : ". ") + sentence;
  }
  // A failed check has told its files in a message of its own; any other failure says why here.
  if (m_jobEnded && m_jobEnded->end == JobEnd::kFailed && !m_jobEnded->reason.empty() &&
      !checkFailed) {
    line += (line.empty() ? "" : "; ") + OneLine(m_jobEnded->reason);
  }
  return line;
}
