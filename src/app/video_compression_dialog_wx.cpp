#include "app/video_compression_dialog_wx.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include <algorithm>
#include <cctype>
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

// The line under the list: what the selected compressor is for, as the catalogue says it.
wxString Describe(const CompressorInfo& compressor, int width, int height) {
  std::string line = CompressorSummary(compressor, width, height);
  if (!line.empty()) line[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
  return wxString::FromUTF8(line);
}

// The compressors in the order they are listed: the catalogue's, with those kept for old
// players moved after the others (where a heading goes before them).
std::vector<CompressorInfo> ListOrder(std::vector<CompressorInfo> compressors) {
  std::stable_partition(compressors.begin(), compressors.end(),
                        [](const CompressorInfo& compressor) { return !compressor.forOldPlayers; });
  return compressors;
}

class VideoCompressionDialog final : public wxDialog {
 public:
  VideoCompressionDialog(const CompressorRequest& request, std::vector<CompressorInfo> list)
      // No owner window, as the platform's own dialog is shown.
      : wxDialog(nullptr, wxID_ANY, "Video Compression", wxDefaultPosition, wxDefaultSize,
                 wxDEFAULT_DIALOG_STYLE | wxDIALOG_NO_PARENT),
        m_list(ListOrder(std::move(list))),
        m_width(request.width),
        m_height(request.height) {
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
    m_choices = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(480, 290));
    // Rows are the compressors in m_list's order, with a heading that is no compressor before
    // the first one kept for old players.
    for (std::size_t i = 0; i < m_list.size(); ++i) {
      if (m_list[i].forOldPlayers && m_heading == wxNOT_FOUND) {
        m_heading = static_cast<int>(i);
        m_choices->Append(wxString::FromUTF8("\u2014 Older formats, for old players \u2014"));
      }
      std::string entry = std::string(m_list[i].name) + "  [" + TrimmedCode(m_list[i].fourcc) + "]";
      if (!m_refusals[i].empty()) entry += " \u2014 " + m_refusals[i];
      m_choices->Append(wxString::FromUTF8(entry));
    }
    top->Add(m_choices, 1, wxEXPAND | wxALL, 10);
    // Room for two lines, so that a long one wraps instead of widening the dialog.
    m_description = new wxStaticText(this, wxID_ANY, "\n");
    m_description->SetMinSize(m_description->GetBestSize());
    top->Add(m_description, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
    m_qualityLabel = new wxStaticText(this, wxID_ANY, "Compression &Quality:");
    top->Add(m_qualityLabel, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    m_quality = new wxSlider(this, wxID_ANY, 100, 0, 100, wxDefaultPosition, wxDefaultSize,
                             wxSL_HORIZONTAL | wxSL_LABELS);
    top->Add(m_quality, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
    top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 10);
    SetSizerAndFit(top);

    // The last choice is found by its code, wherever the list puts it.
    std::size_t chosen = 0;  // Full Frames, which takes every size
    for (std::size_t i = 0; i < m_list.size(); ++i) {
      if (m_list[i].fourcc == request.fourcc && m_refusals[i].empty()) chosen = i;
    }
    m_shownRow = m_cursorRow = RowOf(chosen);
    m_choices->SetSelection(m_shownRow);
    ShowCompressor(request.fourcc == m_list[chosen].fourcc ? request.quality : kDefaultQuality);
    m_choices->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) { OnSelected(); });
    m_choices->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) { OnKey(event); });
    m_choices->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent& event) {
      if (event.GetInt() != m_heading && Choosable()) EndModal(wxID_OK);
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
  // The list's row of m_list[index], and back; the heading is the row of no compressor.
  int RowOf(std::size_t index) const {
    const int row = static_cast<int>(index);
    return m_heading != wxNOT_FOUND && row >= m_heading ? row + 1 : row;
  }
  std::size_t IndexOf(int row) const {
    return static_cast<std::size_t>(m_heading != wxNOT_FOUND && row > m_heading ? row - 1 : row);
  }

  // The selected compressor's index in m_list; the list's selection is never the heading.
  std::size_t Selected() const { return IndexOf(m_shownRow); }

  // Up and Down step over the heading, so that the keyboard never stops on it. The list moves
  // its own keyboard cursor (the row with the focus frame) on its own steps only, so every step
  // is left to it while that cursor is on the row shown; after a step over the heading, or a
  // click on the heading, the steps are ours.
  void OnKey(wxKeyEvent& event) {
    int step = 0;
    switch (event.GetKeyCode()) {
      case WXK_UP:
      case WXK_NUMPAD_UP:
        step = -1;
        break;
      case WXK_DOWN:
      case WXK_NUMPAD_DOWN:
        step = 1;
        break;
      default:
        event.Skip();
        return;
    }
    int row = m_shownRow + step;
    if (row != m_heading && m_cursorRow == m_shownRow) {
      event.Skip();  // the list's own step, which moves its keyboard cursor as well
      return;
    }
    if (row == m_heading) row += step;
    if (row < 0 || row >= static_cast<int>(m_choices->GetCount())) return;
    m_choices->SetSelection(row);
    m_shownRow = row;
    ShowCompressor(kDefaultQuality);
  }

  // The heading selected any other way (a click, Page Up or Down) is left at once: a click
  // keeps the compressor shown, a key goes on past it the way it was moving.
  void OnSelected() {
    int row = m_choices->GetSelection();
    if (row == wxNOT_FOUND) row = m_shownRow;
    m_cursorRow = row;  // the list moved its cursor to the row it selected
    if (row == m_heading) {
      if (!wxGetMouseState().LeftIsDown()) {
        row = m_shownRow < m_heading ? m_heading + 1 : m_heading - 1;
      } else {
        row = m_shownRow;
      }
      m_choices->SetSelection(row);
    }
    if (row == m_shownRow) return;
    m_shownRow = row;
    ShowCompressor(kDefaultQuality);
  }

  void ShowCompressor(std::uint32_t quality) {
    const CompressorInfo& compressor = m_list[Selected()];
    const std::string& refusal = m_refusals[Selected()];
    m_description->SetLabel(refusal.empty()
                                ? Describe(compressor, m_width, m_height)
                                : wxString::FromUTF8("Cannot take these frames: " + refusal));
    m_description->Wrap(m_choices->GetSize().GetWidth());
    const bool hasQuality = compressor.knob != QualityKnob::kNone;
    if (quality == kDefaultQuality || quality > 10000) quality = compressor.defaultQuality;
    m_quality->SetValue(hasQuality ? static_cast<int>(quality / 100) : 100);
    m_quality->Enable(hasQuality);
    m_qualityLabel->Enable(hasQuality);
    Layout();
  }

  std::vector<CompressorInfo> m_list;
  std::vector<std::string> m_refusals;  // per entry of m_list: why it cannot be chosen, or ""
  int m_width;
  int m_height;
  int m_heading = wxNOT_FOUND;  // the heading's row, or none when no older format is here
  int m_shownRow = 0;           // the row whose compressor is shown and would be chosen
  // The list's keyboard cursor as far as we know: on taking the focus the list puts it on the
  // selected row.
  int m_cursorRow = 0;
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
