#pragma once
// The application: it runs the converter's dialog once, modally, and ends when the dialog does.

#include <wx/app.h>

#include "platform/mfc/win_types.h"

class CConverterApp final : public wxApp {
 public:
  /// Loads the resources, runs the dialog and returns FALSE: the application then ends instead of
  /// entering a message loop of its own.
  BOOL InitInstance();

  bool OnInit() override { return InitInstance() != FALSE; }
  /// The folder of the dialog template and icons, beside the program in the build tree (res/)
  /// or under share/tga2avi of the installation; empty when neither holds the template.
  static std::string ResourceFolder();
};

wxDECLARE_APP(CConverterApp);
