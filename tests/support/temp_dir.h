#pragma once
// A private folder under the system's temporary directory, removed with everything in it when
// the object goes.

#include <filesystem>
#include <string>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  /// The path of name inside the folder, as a string: dir.File("shot0001.tga").
  std::string File(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

/// Writes bytes to path, replacing it.
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace testing_support
