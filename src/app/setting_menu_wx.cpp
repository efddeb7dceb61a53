#include "app/setting_menu_wx.h"

#include <wx/dcbuffer.h>
#include <wx/menu.h>
#include <wx/settings.h>

#include <utility>

wxIMPLEMENT_DYNAMIC_CLASS(SettingMenu, wxPanel);

void SettingMenu::SetUp(const wxString& caption, std::vector<wxString> labels, int chosen,
                        std::function<void(int)> picked) {
  m_caption = caption;
  m_labels = std::move(labels);
  m_chosen = chosen >= 0 && chosen < static_cast<int>(m_labels.size()) ? chosen : 0;
  m_picked = std::move(picked);
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  SetCursor(wxCursor(wxCURSOR_HAND));
  Bind(wxEVT_PAINT, &SettingMenu::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &SettingMenu::OnClick, this);
  Bind(wxEVT_ENTER_WINDOW, [this](wxMouseEvent&) {
    m_hover = true;
    Refresh();
  });
  Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent&) {
    m_hover = false;
    Refresh();
  });
  SetToolTip(m_caption);
  Refresh();
}

wxString SettingMenu::Text() const {
  const wxString value =
      m_chosen < static_cast<int>(m_labels.size()) ? m_labels[m_chosen] : wxString();
  return m_caption + ": " + value + wxString::FromUTF8(" \u25BE");
}

void SettingMenu::OnPaint(wxPaintEvent& /*event*/) {
  wxAutoBufferedPaintDC dc(this);
  // The window's own colours, so that a dark theme draws it dark.
  wxWindow* parent = GetParent();
  dc.SetBackground(wxBrush(parent ? parent->GetBackgroundColour() : GetBackgroundColour()));
  dc.Clear();
  const wxSize size = GetClientSize();
  if (m_hover && IsEnabled()) {
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT)));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRoundedRectangle(0, 0, size.x, size.y, 2);
  }
  dc.SetFont(GetFont());
  dc.SetTextForeground(
      wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_WINDOWTEXT : wxSYS_COLOUR_GRAYTEXT));
  const wxString text = Text();
  const wxSize extent = dc.GetTextExtent(text);
  dc.SetClippingRegion(0, 0, size.x, size.y);
  dc.DrawText(text, FromDIP(2), (size.y - extent.y) / 2);
}

void SettingMenu::OnClick(wxMouseEvent& /*event*/) {
  if (!IsEnabled() || m_labels.empty()) return;
  wxMenu menu;
  for (std::size_t i = 0; i < m_labels.size(); ++i) {
    wxMenuItem* item = menu.AppendRadioItem(wxID_HIGHEST + 1 + static_cast<int>(i), m_labels[i]);
    item->Check(static_cast<int>(i) == m_chosen);
  }
  // The menu returns the item picked, or 0 when it is dismissed.
  const int picked = GetPopupMenuSelectionFromUser(menu, 0, GetClientSize().y);
  if (picked == wxID_NONE) return;
  const int index = picked - wxID_HIGHEST - 1;
  if (index < 0 || index >= static_cast<int>(m_labels.size()) || index == m_chosen) return;
  m_chosen = index;
  Refresh();
  if (m_picked) m_picked(index);
}
