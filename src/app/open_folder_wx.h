#pragma once
// The "Open Folder" button under Convert: hidden until a job has written a file, it then opens
// the folder holding that file in the desktop's file manager. The Tab key passes it by, so that
// the tab order stays the template's and the keyboard starts on Convert.

#include <wx/button.h>

#include <string>

class OpenFolderButton final : public wxButton {
 public:
  bool AcceptsFocusFromKeyboard() const override { return false; }

  /// Shows the button for the folder that holds file (a path relative to the working folder
  /// counts from there).
  void ShowFor(const std::string& file);
  /// The folder the button opens; empty while it is hidden.
  const std::string& Folder() const { return m_folder; }

 private:
  std::string m_folder;
  wxDECLARE_DYNAMIC_CLASS(OpenFolderButton);
};

/// Starts the desktop's default application for folders on folder, through GIO (the toolkit's
/// own launcher only runs xdg-open, which need not be installed and tells no failure). Returns
/// "" once it started, or why it could not: "No application is registered as handling this
/// file" where the desktop has no file manager.
std::string OpenInFileManager(const std::string& folder);
