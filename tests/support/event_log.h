#pragma once
// A follower of the job that writes down what it is told, one line an event, for tests to
// compare: "began colour shot.avi 1-3", "writing colour 2 (2 of 3)", "repeated colour 2
// missing", "ended colour finished 3", "checked shot.avi 3 of 3", "job created". Attach it to
// a dialog with dlg.SetObserver(&events).

#include <optional>
#include <string>
#include <vector>

#include "dialog/job_events.h"

namespace testing_support {

class EventLog final : public JobObserver {
 public:
  std::vector<std::string> lines;
  std::vector<PassEnded> passesEnded;
  std::vector<JobEnded> jobsEnded;
  std::vector<FrameRepeated> repeated;
  std::optional<PassBegan> began;  ///< the last pass that began

  /// The lines that begin with prefix: Lines("repeated").
  std::vector<std::string> Lines(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
      if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
    }
    return found;
  }

  void OnPassBegan(const PassBegan& e) override {
    began = e;
    lines.push_back("began " + Name(e.pass) + " " + Base(e.file) + " " + std::to_string(e.first) +
                    "-" + std::to_string(e.last));
  }
  void OnFrameWriting(const FrameWriting& e) override {
    lines.push_back("writing " + Name(e.pass) + " " + std::to_string(e.frame) + " (" +
                    std::to_string(e.place) + " of " + std::to_string(e.count) + ")");
  }
  void OnFrameRepeated(const FrameRepeated& e) override {
    repeated.push_back(e);
    const char* causes[] = {"missing", "unreadable", "other size"};
    lines.push_back("repeated " + Name(e.pass) + " " + std::to_string(e.frame) + " " +
                    causes[static_cast<int>(e.cause)]);
  }
  void OnPassEnded(const PassEnded& e) override {
    passesEnded.push_back(e);
    const char* ends[] = {"finished", "stopped", "write failed", "not started", "cancelled"};
    lines.push_back("ended " + Name(e.pass) + " " + ends[static_cast<int>(e.end)] + " " +
                    std::to_string(e.framesInFile));
  }
  void OnFilesChecked(const FilesChecked& e) override {
    for (const FileCheck& file : e.files) {
      lines.push_back("checked " + Base(file.file) + " " + std::to_string(file.frames) + " of " +
                      std::to_string(file.written) + (file.ok ? "" : " failed"));
    }
  }
  void OnJobEnded(const JobEnded& e) override {
    jobsEnded.push_back(e);
    const char* ends[] = {"created", "stopped", "refused", "failed"};
    lines.push_back(std::string("job ") + ends[static_cast<int>(e.end)]);
  }

 private:
  static std::string Name(Pass pass) { return pass == Pass::kColour ? "colour" : "matte"; }
  static std::string Base(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
  }
};

}  // namespace testing_support
