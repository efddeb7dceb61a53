#pragma once
// The picture of the frames under the sequence line: the two small pictures a PreviewReader
// made (frame_preview.h), the colour on the left half and the matte on the right, each centred
// in its half. The panel never takes the focus, and draws nothing but the pictures: around them
// the window's own background shows, whatever the theme.

#include <wx/bitmap.h>
#include <wx/panel.h>

#include "app/frame_preview.h"

class PreviewPanel final : public wxPanel {
 public:
  PreviewPanel();

  bool AcceptsFocus() const override { return false; }
  bool AcceptsFocusFromKeyboard() const override { return false; }

  /// The screen pixels each half holds: the size the pictures are made for, sharp at any scale.
  FrameSize HalfPixels() const;
  /// The checkerboard's squares in screen pixels.
  int CellPixels() const;
  /// Shows pictures, or nothing when they are empty.
  void SetPictures(const PreviewPictures& pictures);

 private:
  void OnPaint(wxPaintEvent& event);
  int Gap() const { return FromDIP(6); }

  wxBitmap m_colour;
  wxBitmap m_matte;

  wxDECLARE_DYNAMIC_CLASS(PreviewPanel);
};
