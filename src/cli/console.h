#pragma once
// Standard error as the command line writes to it: "tga2avi: <text>" lines (with a label,
// "tga2avi: <label>: <text>", so that the lines of many runs in one log say whose they are),
// and on a terminal one progress line below them, rewritten in place and cleared before the next
// message. Control characters in a text (from a file name) are shown escaped: "\n", "\x1b".

#include <cstdio>
#include <functional>
#include <string>

class Console {
 public:
  /// terminal: whether stream is a terminal, which may take the progress line.
  Console(std::FILE* stream, bool terminal) : m_stream(stream), m_terminal(terminal) {}
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  bool Terminal() const { return m_terminal; }

  /// Every line from now on names label after the program: "tga2avi: sh010.avi: <text>".
  void SetLabel(const std::string& label);

  /// "tga2avi: text" on a line of its own.
  void Say(const std::string& text);

  /// On a terminal, "tga2avi: text" in place of the progress line; elsewhere nothing.
  void ShowProgress(const std::string& text);

  /// Takes the progress line away, if one is shown.
  void ClearProgress();

  /// Asks "tga2avi: question [y/N] " and reads the answer from standard input: true for y or
  /// yes in any case. Standard input is watched, not blocked on, so that stopRequested can end
  /// the question (false) as it ends a conversion.
  bool Ask(const std::string& question, const std::function<bool()>& stopRequested);

 private:
  std::FILE* m_stream;
  bool m_terminal;
  std::string m_lead = "tga2avi: ";
  bool m_progressShown = false;
};
