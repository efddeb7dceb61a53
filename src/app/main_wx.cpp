// The program's entry: start the toolkit, run the application's one dialog, shut down.

#include <wx/app.h>
#include <wx/init.h>

#include "app/converter_app_wx.h"

int main(int argc, char** argv) {
  if (!wxEntryStart(argc, argv)) return 1;
  // The application's InitInstance runs the whole session and always answers FALSE: there is
  // no main loop to enter afterwards.
  wxGetApp().CallOnInit();
  wxGetApp().OnExit();
  wxEntryCleanup();
  return 0;
}
