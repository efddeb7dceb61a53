// The program's entry. With no arguments: start the toolkit, run the application's one dialog,
// shut down. With any argument: the command line, which never starts the toolkit and so needs
// no display.

#include <wx/app.h>
#include <wx/init.h>

#include "app/converter_app_wx.h"
#include "cli/command_line.h"

int main(int argc, char** argv) {
  OpenStandardDescriptors();
  if (argc > 1) return RunCommandLine(argc, argv);
  if (!wxEntryStart(argc, argv)) return 1;
  // The application's InitInstance runs the whole session and always answers FALSE: there is
  // no main loop to enter afterwards.
  wxGetApp().CallOnInit();
  wxGetApp().OnExit();
  wxEntryCleanup();
  return 0;
}
