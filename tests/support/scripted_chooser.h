#pragma once
// A user at the "Video Compression" dialog who follows a script: each AVISaveOptions takes the
// next answer (a compressor and quality, a cancel, or any other result), and every call is
// recorded. While it lives it is the chooser AVISaveOptions asks; the previous one comes back
// when it goes.
//
//   ScriptedChooser chooser;
//   chooser.Pick(MakeFourCC('F', 'F', 'V', '1'));
//   chooser.LogTo(user);  // "chooser:FFV1" lands in user.log between the boxes

#include <deque>
#include <string>
#include <vector>

#include "media/compressor_catalogue.h"
#include "platform/vfw/compressor_chooser.h"
#include "tests/support/scripted_user.h"

namespace testing_support {

class ScriptedChooser : public CompressorChooser {
 public:
  ScriptedChooser();
  ~ScriptedChooser() override;
  ScriptedChooser(const ScriptedChooser&) = delete;
  ScriptedChooser& operator=(const ScriptedChooser&) = delete;

  /// The next dialog is accepted with this compressor and quality (0..10000 or default).
  void Pick(FourCC fourcc, std::uint32_t quality = kDefaultQuality);
  /// The next dialog is cancelled.
  void Cancel();
  /// The next dialog returns result without a choice (neither 1 nor a cancel).
  void Answer(int result);

  /// Every call, in order. When the script has run out, a call is cancelled.
  std::vector<CompressorRequest> calls;

  /// Appends "chooser:<FourCC>", "chooser:cancel" or "chooser:<result>" to user's log per call.
  void LogTo(ScriptedUser& user) { m_log = &user.log; }

  int ChooseCompressor(const CompressorRequest& request, CompressorChoice* choice) override;

 private:
  struct Step {
    int result;
    CompressorChoice choice;
  };
  std::deque<Step> m_script;
  std::vector<std::string>* m_log = nullptr;
  CompressorChooser* m_previous;
};

}  // namespace testing_support
