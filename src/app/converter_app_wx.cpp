#include "app/converter_app_wx.h"

#include <wx/filename.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/stdpaths.h>
#include <wx/xrc/xmlres.h>

#include <string>

#include "app/converter_window_wx.h"
#include "app/video_compression_dialog_wx.h"
#include "dialog/converter_dlg.h"
#include "dialog/resource.h"
#include "dialog/texts.h"
#include "platform/user/icon_wx.h"

wxIMPLEMENT_APP_NO_MAIN(CConverterApp);

std::string CConverterApp::ResourceFolder() {
  const wxFileName program(wxStandardPaths::Get().GetExecutablePath());
  const wxString candidates[] = {
      program.GetPath() + "/res",
      program.GetPath() + "/../share/tga2avi",
  };
  for (const wxString& folder : candidates) {
    if (wxFileName::FileExists(folder + "/converter.xrc")) {
      wxFileName normalized = wxFileName::DirName(folder);
      normalized.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
      return normalized.GetPath().utf8_string();
    }
  }
  return std::string();
}

BOOL CConverterApp::InitInstance() {
  SetAppName("tga2avi");
  SetAppDisplayName("TGA to AVI Converter");
  wxInitAllImageHandlers();

  const std::string folder = ResourceFolder();
  wxXmlResource& resources = *wxXmlResource::Get();
  resources.InitAllHandlers();
  if (folder.empty() || !resources.Load(wxString::FromUTF8(folder + "/converter.xrc"))) {
    wxMessageBox("The converter's dialog template (converter.xrc) is missing.", kConverterCaption,
                 wxOK | wxICON_ERROR);
    return FALSE;
  }
  LoadIconFiles(IDR_MAINFRAME, {folder + "/tga2avi-32.png", folder + "/tga2avi-16.png"});

  {
    // The compressor choice of every job is asked in the "Video Compression" dialog.
    WxVideoCompressionChooser compressorChooser;
    CConverterDlg dlg;
    ConverterWindow window(dlg, resources);
    if (window.IsOk()) {
      SetTopWindow(&window);
      // However the dialog ends, the application ends with it.
      window.DoModal();
      SetTopWindow(nullptr);
    }
  }
  UnloadIcons();
  return FALSE;
}
