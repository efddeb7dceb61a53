#pragma once
// A setting of the window shown as "Rate: 24 ▾": a click opens a menu of its values, and the
// value picked is shown and handed on. It never takes the keyboard focus, so that the tab order
// and the focus of the window's controls stay as they are whatever settings are added under them.

#include <wx/panel.h>

#include <functional>
#include <string>
#include <vector>

class SettingMenu final : public wxPanel {
 public:
  SettingMenu() = default;

  /// Shows caption before the chosen value's label; picked is called with the index of the value
  /// the user picks.
  void SetUp(const wxString& caption, std::vector<wxString> labels, int chosen,
             std::function<void(int)> picked);
  int Chosen() const { return m_chosen; }

  bool AcceptsFocus() const override { return false; }
  bool AcceptsFocusFromKeyboard() const override { return false; }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnClick(wxMouseEvent& event);
  wxString Text() const;

  wxString m_caption;
  std::vector<wxString> m_labels;
  int m_chosen = 0;
  bool m_hover = false;
  std::function<void(int)> m_picked;

  wxDECLARE_DYNAMIC_CLASS(SettingMenu);
};
