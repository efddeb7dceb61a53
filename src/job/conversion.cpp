#include "job/conversion.h"

#include <cstdint>

#include "frames/frame_buffer.h"

std::optional<FrameGeometry> MakeFrameGeometry(std::size_t columns, std::size_t rows) {
  const std::int64_t bytes = FrameByteCount(columns, rows);
  if (bytes < 0) return std::nullopt;

  FrameGeometry geometry;
  geometry.width = static_cast<int>(columns);
  geometry.height = static_cast<int>(rows);
  geometry.rate = geometry.height <= 500 ? 29.97F : 25.0F;
  geometry.frameByteSize = static_cast<int>(bytes);
  return geometry;
}

bool CheckVideoForWindowsVersion(CDialog& dlg, DWORD version) {
  if ((version >> 16) >= 0x010AU) return true;
  dlg.MessageBox("Video for Windows must be v1.1 or greater", "Cannot save to AVI",
                 MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
  return false;
}

CString MatteFileName(const CString& aviFile) {
  return aviFile.Left(aviFile.GetLength() - 3) + "matte.avi";
}
