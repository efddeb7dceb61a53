#include "app/preview_panel_wx.h"

#include <wx/dcclient.h>
#include <wx/image.h>

#include <algorithm>
#include <cmath>
#include <cstring>

wxIMPLEMENT_DYNAMIC_CLASS(PreviewPanel, wxPanel);

namespace {

// A picture of ours as a bitmap of the screen's scale: its pixels are drawn one for one.
wxBitmap BitmapOf(const PreviewPicture& picture, double scale) {
  if (picture.width <= 0 || picture.height <= 0 || picture.rgb.empty()) return wxNullBitmap;
  wxImage image(picture.width, picture.height, false);
  std::memcpy(image.GetData(), picture.rgb.data(), picture.rgb.size());
  return wxBitmap(image, wxBITMAP_SCREEN_DEPTH, scale);
}

}  // namespace

PreviewPanel::PreviewPanel() { Bind(wxEVT_PAINT, &PreviewPanel::OnPaint, this); }

FrameSize PreviewPanel::HalfPixels() const {
  const wxSize client = GetClientSize();
  const double scale = GetContentScaleFactor();
  const int halfWidth = std::max((client.x - Gap()) / 2, 0);
  return {static_cast<int>(std::floor(halfWidth * scale)),
          static_cast<int>(std::floor(client.y * scale))};
}

int PreviewPanel::CellPixels() const {
  return static_cast<int>(std::lround(4 * GetContentScaleFactor()));
}

void PreviewPanel::SetPictures(const PreviewPictures& pictures) {
  const double scale = GetContentScaleFactor();
  m_colour = BitmapOf(pictures.colour, scale);
  m_matte = BitmapOf(pictures.matte, scale);
  Refresh();
}

void PreviewPanel::OnPaint(wxPaintEvent& /*event*/) {
  wxPaintDC dc(this);
  const wxSize client = GetClientSize();
  const int halfWidth = std::max((client.x - Gap()) / 2, 0);
  const struct {
    const wxBitmap& bitmap;
    int left;
  } halves[] = {{m_colour, 0}, {m_matte, client.x - halfWidth}};
  for (const auto& half : halves) {
    if (!half.bitmap.IsOk()) continue;
    const wxSize size = half.bitmap.GetLogicalSize();
    dc.DrawBitmap(half.bitmap, half.left + (halfWidth - size.x) / 2, (client.y - size.y) / 2);
  }
}
