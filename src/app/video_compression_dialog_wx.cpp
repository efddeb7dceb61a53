#include "app/video_compression_dialog_wx.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "media/compressor_catalogue.h"
#include "platform/mfc/settings.h"
#include "platform/mfc/window_thread_wx.h"

namespace {

std::string TrimmedCode(FourCC fourcc) {
  std::string code = FourCCText(fourcc);
  while (!code.empty() && code.back() == ' ') code.pop_back();
  return code;
}

std::string Describe(const CompressorInfo& compressor) {
  if (compressor.lossless) {
    if (CompressorWritesGreyMatte(compressor)) {
      return "Lossless; keeps the alpha channel; writes the matte as grey";
    }
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
    // What each compressor would be handed: the frames' size, from the format of the stream
    // the dialog is shown for. One that cannot take it says why and cannot be chosen.
    for (const CompressorInfo& compressor : m_list) {
      m_refusals.push_back(CompressorRefusal(compressor, request.width, request.height));
    }
    auto* top = new wxBoxSizer(wxVERTICAL);  // wx windows and sizers are owned by the dialog
    if (request.width > 0 && request.height > 0) {
      top->Add(new wxStaticText(
                   this, wxID_ANY,
                   wxString::Format(wxString::FromUTF8("Frames: %d \u00D7 %d, 32-bit with alpha"),
                                    request.width, request.height)),
               0, wxLEFT | wxRIGHT | wxTOP, 10);
    }
    top->Add(new wxStaticText(this, wxID_ANY, "&Compressor:"), 0, wxLEFT | wxRIGHT | wxTOP, 10);
    m_choices = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(480, 250));
    for (std::size_t i = 0; i < m_list.size(); ++i) {
      std::string entry = std::string(m_list[i].name) + "  [" + TrimmedCode(m_list[i].fourcc) + "]";
      if (!m_refusals[i].empty()) entry += " \u2014 " + m_refusals[i];
      m_choices->Append(wxString::FromUTF8(entry));
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

    int selection = 0;  // Full Frames, which takes every size
    for (std::size_t i = 0; i < m_list.size(); ++i) {
      if (m_list[i].fourcc == request.fourcc && m_refusals[i].empty()) {
        selection = static_cast<int>(i);
      }
    }
    m_choices->SetSelection(selection);
    ShowCompressor(selection,
                   request.fourcc == m_list[selection].fourcc ? request.quality : kDefaultQuality);
    m_choices->Bind(wxEVT_LISTBOX,
                    [this](wxCommandEvent&) { ShowCompressor(Selected(), kDefaultQuality); });
    m_choices->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) {
      if (Choosable()) EndModal(wxID_OK);
    });
    // OK takes only an entry that can take the frames, by mouse, Return or Enter alike.
    Bind(
        wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) { event.Enable(Choosable()); }, wxID_OK);
    Bind(
        wxEVT_BUTTON,
        [this](wxCommandEvent& event) {
          if (Choosable()) event.Skip();
        },
        wxID_OK);
    CentreOnScreen();
  }

  int Selected() const {
    const int selection = m_choices->GetSelection();
    return selection == wxNOT_FOUND ? 0 : selection;
  }

  bool Choosable() const { return m_refusals[Selected()].empty(); }

  CompressorChoice Choice() const {
    const CompressorInfo& compressor = m_list[Selected()];
    CompressorChoice choice{compressor.fourcc, kDefaultQuality};
    if (compressor.knob != QualityKnob::kNone) {
      choice.quality = static_cast<std::uint32_t>(m_quality->GetValue()) * 100;
    }
    return choice;
  }

 private:
  void ShowCompressor(int index, std::uint32_t quality) {
    const CompressorInfo& compressor = m_list[index];
    const std::string& refusal = m_refusals[index];
    m_description->SetLabel(refusal.empty() ? Describe(compressor)
                                            : "Cannot take these frames: " + refusal);
    const bool hasQuality = compressor.knob != QualityKnob::kNone;
    if (quality == kDefaultQuality || quality > 10000) quality = compressor.defaultQuality;
    m_quality->SetValue(hasQuality ? static_cast<int>(quality / 100) : 100);
    m_quality->Enable(hasQuality);
    m_qualityLabel->Enable(hasQuality);
  }

  std::vector<CompressorInfo> m_list;
  std::vector<std::string> m_refusals;  // per entry of m_list: why it cannot be chosen, or ""
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
    // A stream with no compressor yet starts from the user's last choice, in this run or the
    // last one.
    CompressorRequest asked = request;
    if (asked.fourcc == 0) {
      const std::string fourcc = LoadSetting("Compressor");
      const std::string quality = LoadSetting("Quality");
      asked.fourcc = static_cast<FourCC>(std::strtoul(fourcc.c_str(), nullptr, 10));
      asked.quality = quality.empty()
                          ? kDefaultQuality
                          : static_cast<std::uint32_t>(std::strtoul(quality.c_str(), nullptr, 10));
    }
    VideoCompressionDialog dialog(asked, AvailableCompressors());
    if (dialog.ShowModal() != wxID_OK) return 0;
    *choice = dialog.Choice();
    SaveSetting("Compressor", std::to_string(choice->fourcc));
    SaveSetting("Quality", std::to_string(choice->quality));
    return 1;
  });
}
