#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/mfc/file_dialog.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::Pair;

TEST(FileDialogTest, ParsesTheFrameworksFilterForm) {
  EXPECT_THAT(ParseFileFilter("Graphic Files (*.tga)|*.tga||"),
              ElementsAre(Pair("Graphic Files (*.tga)", "*.tga")));
  EXPECT_THAT(ParseFileFilter("Video (*.avi)|*.avi|All Files (*.*)|*.*||"),
              ElementsAre(Pair("Video (*.avi)", "*.avi"), Pair("All Files (*.*)", "*.*")));
  // Without the closing bars, and with a description that lost its pattern.
  EXPECT_THAT(ParseFileFilter("Targa|*.tga;*.TGA"), ElementsAre(Pair("Targa", "*.tga;*.TGA")));
  EXPECT_THAT(ParseFileFilter("Targa|*.tga|Orphan||"), ElementsAre(Pair("Targa", "*.tga")));
  EXPECT_THAT(ParseFileFilter(""), IsEmpty());
  EXPECT_THAT(ParseFileFilter(nullptr), IsEmpty());
}

TEST(FileDialogTest, AddsTheDefaultExtensionOnlyToANameWithoutOne) {
  struct Case {
    const char* path;
    const char* ext;
    const char* result;
  } cases[] = {
      {"/v/movie", "avi", "/v/movie.avi"},
      {"movie", "avi", "movie.avi"},
      {"/v.d/movie", "avi", "/v.d/movie.avi"},
      {"C:\\v.d\\movie", "avi", "C:\\v.d\\movie.avi"},
      {"/v/movie.avi", "avi", "/v/movie.avi"},
      {"/v/movie.mov", "avi", "/v/movie.mov"},
      {"/v/.hidden", "avi", "/v/.hidden"},
      {"/v/", "avi", "/v/"},
      {"/v/movie", "", "/v/movie"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AddDefaultExtension(c.path, c.ext), c.result) << c.path;
  }
}

TEST(FileDialogTest, WithoutABackendEveryDialogIsCancelled) {
  FileDialogBackend* previous = SetFileDialogBackend(nullptr);
  CFileDialog dialog(TRUE, "tga", nullptr, OFN_HIDEREADONLY, "Graphic Files (*.tga)|*.tga||");
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.GetPathName(), "");
  SetFileDialogBackend(previous);
}

}  // namespace
