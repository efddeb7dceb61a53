#include "job/conversion.h"

#include <cstdint>
#include <string>

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

CString MatteFileName(const CString& aviFile) {
  // The cut takes at most the file-name part: "out/ab" gives "out/matte.avi", never a name in
  // the folder above the one the user chose.
  const std::string& path = aviFile.str();
  const std::size_t separator = path.find_last_of("/\\");
  const int nameLength =
      static_cast<int>(separator == std::string::npos ? path.size() : path.size() - separator - 1);
  const int cut = nameLength < 3 ? nameLength : 3;
  return aviFile.Left(aviFile.GetLength() - cut) + "matte.avi";
}
