#include "platform/vfw/video_compression_dialog_wx.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include <string>
#include <vector>

#include "platform/mfc/window_thread_wx.h"
#include "platform/vfw/compressor_catalogue.h"

namespace {

std::string TrimmedCode(FOURCC fourcc) {
  std::string code = FourCCText(fourcc);
  while (!code.empty() && code.back() == ' ') code.pop_back();
  return code;
}

std::string Describe(const CompressorInfo& compressor) {
  if (compressor.lossless) {
    return compressor.keepsAlpha ? "Lossless; keeps the alpha channel" : "Lossless";
  }
  return "Lossy; no alpha channel";
}

class VideoCompressionDialog final : public wxDialog {
 public:
  VideoCompressionDialog(const CompressorRequest& request, std::vector<CompressorInfo> list)
      // No owner window, as the platform's own dialog is shown.
      : wxDialog(nullptr, wxID_ANY, "Video Compression", wxDefaultPosition, wxDefaultSize,
                 wxDEFAULT_DIALOG_STYLE | wxDIALOG_NO_PARENT),
        m_list(std::move(list)) {
    auto* top = new wxBoxSizer(wxVERTICAL);  // wx windows and sizers are owned by the dialog
    top->Add(new wxStaticText(this, wxID_ANY, "&Compressor:"), 0, wxLEFT | wxRIGHT | wxTOP, 10);
    m_choices = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(340, 250));
    for (const CompressorInfo& compressor : m_list) {
      m_choices->Append(std::string(compressor.name) + "  [" + TrimmedCode(compressor.fourcc) +
                        "]");
    }
    top->Add(m_choices, 1, wxEXPAND | wxALL, 10);
    m_description = new wxStaticText(this, wxID_ANY, "");
    top->Add(m_description, 0, wxLEFT | wxRIGHT, 10);
    m_qualityLabel = new wxStaticText(this, wxID_ANY, "Compression &Quality:");
    top->Add(m_qualityLabel, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    m_quality = new wxSlider(this, wxID_ANY, 100, 0, 100, wxDefaultPosition, wxDefaultSize,
                             wxSL_HORIZONTAL | wxSL_LABELS);
    top->Add(m_quality, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
    top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 10);
    SetSizerAndFit(top);

    int selection = 0;
    for (std::size_t i = 0; i < m_list.size(); ++i) {
      if (m_list[i].fourcc == request.fourcc) selection = static_cast<int>(i);
    }
    m_choices->SetSelection(selection);
    ShowCompressor(selection,
                   request.fourcc == m_list[selection].fourcc ? request.quality : kDefaultQuality);
    m_choices->Bind(wxEVT_LISTBOX,
                    [this](wxCommandEvent&) { ShowCompressor(Selected(), kDefaultQuality); });
    m_choices->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { EndModal(wxID_OK); });
    CentreOnScreen();
  }

  int Selected() const {
    const int selection = m_choices->GetSelection();
    return selection == wxNOT_FOUND ? 0 : selection;
  }

  CompressorChoice Choice() const {
    const CompressorInfo& compressor = m_list[Selected()];
    CompressorChoice choice{compressor.fourcc, kDefaultQuality};
    if (compressor.knob != QualityKnob::kNone) {
      choice.quality = static_cast<DWORD>(m_quality->GetValue()) * 100;
    }
    return choice;
  }

 private:
  void ShowCompressor(int index, DWORD quality) {
    const CompressorInfo& compressor = m_list[index];
    m_description->SetLabel(Describe(compressor));
    const bool hasQuality = compressor.knob != QualityKnob::kNone;
    if (quality == kDefaultQuality || quality > 10000) quality = compressor.defaultQuality;
    m_quality->SetValue(hasQuality ? static_cast<int>(quality / 100) : 100);
    m_quality->Enable(hasQuality);
    m_qualityLabel->Enable(hasQuality);
  }

  std::vector<CompressorInfo> m_list;
  wxListBox* m_choices;
  wxStaticText* m_description;
  wxStaticText* m_qualityLabel;
  wxSlider* m_quality;
};

}  // namespace

int WxVideoCompressionChooser::ChooseCompressor(const CompressorRequest& request,
                                                CompressorChoice* choice) {
  // Asked from the job's thread; the dialog is shown on the window's.
  return OnWindowThread([&] {
    // The job's busy cursor stays on underneath; the dialog itself takes the mouse as usual.
    wxBusyCursorSuspender normalCursor;
    VideoCompressionDialog dialog(request, AvailableCompressors());
    if (dialog.ShowModal() != wxID_OK) return 0;
    *choice = dialog.Choice();
    return 1;
  });
}
