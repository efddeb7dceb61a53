#include "job/conversion.h"

#include <cctype>
#include <cstdint>
#include <string>

#include "frames/frame_buffer.h"

std::optional<FrameGeometry> MakeFrameGeometry(std::size_t columns, std::size_t rows) {
  const std::int64_t bytes = FrameByteCount(columns, rows);
  if (bytes < 0) return std::nullopt;

  FrameGeometry geometry;
  geometry.width = static_cast<int>(columns);
  geometry.height = static_cast<int>(rows);
  geometry.rate = geometry.height <= 500 ? FrameRate{30000, 1001} : FrameRate{25, 1};
  geometry.frameByteSize = static_cast<int>(bytes);
  return geometry;
}

JobRate ChooseRate(const std::optional<FrameRate>& chosen, const std::optional<FrameRate>& header,
                   const FrameGeometry& geometry) {
  if (chosen) return {*chosen, RateSource::kChosen};
  if (header) return {*header, RateSource::kHeader};
  return {geometry.rate, RateSource::kSize};
}

CString MatteFileName(const CString& aviFile) {
  // Only the file-name part counts: "out/ab" gives "out/ab.matte.avi", never a name in the
  // folder above the one the user chose.
  const std::string& path = aviFile.str();
  const std::size_t separator = path.find_last_of("/\\");
  const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t nameLength = path.size() - nameStart;
  // A three-character extension gives way to "matte.avi"; any other name keeps all it has.
  const bool threeCharacterExtension = nameLength >= 4 && path[path.size() - 4] == '.' &&
                                       path.find('.', path.size() - 3) == std::string::npos;
  if (threeCharacterExtension) return aviFile.Left(aviFile.GetLength() - 3) + "matte.avi";
  return aviFile + ".matte.avi";
}

bool EndsInAvi(const std::string& aviFile) {
  if (aviFile.size() < 4) return false;
  std::string end = aviFile.substr(aviFile.size() - 4);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".avi";
}
