#include "job/conversion.h"

#include <climits>
#include <cstdint>

std::optional<FrameGeometry> MakeFrameGeometry(std::size_t columns, std::size_t rows) {
  if (columns == 0 || rows == 0 || columns > INT_MAX || rows > INT_MAX) return std::nullopt;
  const std::uint64_t bytes = std::uint64_t{columns} * rows * 4;
  if (bytes > static_cast<std::uint64_t>(INT_MAX)) return std::nullopt;

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
