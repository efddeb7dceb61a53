#include "tests/support/scripted_chooser.h"

namespace testing_support {

ScriptedChooser::ScriptedChooser() : m_previous(SetCompressorChooser(this)) {}

ScriptedChooser::~ScriptedChooser() { SetCompressorChooser(m_previous); }

void ScriptedChooser::Pick(FourCC fourcc, std::uint32_t quality) {
  m_script.push_back({1, CompressorChoice{fourcc, quality}});
}

void ScriptedChooser::Cancel() { m_script.push_back({0, {}}); }

void ScriptedChooser::Answer(int result) { m_script.push_back({result, {}}); }

int ScriptedChooser::ChooseCompressor(const CompressorRequest& request, CompressorChoice* choice) {
  calls.push_back(request);
  Step step{0, {}};
  if (!m_script.empty()) {
    step = m_script.front();
    m_script.pop_front();
  }
  if (step.result == 1) *choice = step.choice;
  if (m_log) {
    m_log->push_back(step.result == 1   ? "chooser:" + FourCCText(step.choice.fourcc)
                     : step.result == 0 ? std::string("chooser:cancel")
                                        : "chooser:" + std::to_string(step.result));
  }
  return step.result;
}

}  // namespace testing_support
