#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/mfc/cfile.h"
#include "platform/mfc/cstring.h"
#include "platform/mfc/dialog.h"
#include "platform/mfc/win_types.h"
#include "tests/support/scripted_user.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ScriptedUser;
using testing_support::TempDir;

TEST(CStringTest, FormatsWithoutALengthLimit) {
  const std::string longPath = "/" + std::string(5000, 'd') + "/shot0001.tga";
  CString text;
  text.Format("Error on opening %s", longPath.c_str());
  EXPECT_EQ(text.str(), "Error on opening " + longPath);
  EXPECT_EQ(text.GetLength(), 17 + static_cast<int>(longPath.size()));

  text.Format("Saving Video Frame %d", -3);
  EXPECT_EQ(text, "Saving Video Frame -3");
  text.Format("%s", "");
  EXPECT_TRUE(text.IsEmpty());
}

TEST(CStringTest, LeftCutsBytes) {
  const CString name("D:\\clips\\shot.avi");
  EXPECT_EQ(name.Left(name.GetLength() - 3) + "matte.avi", "D:\\clips\\shot.matte.avi");
  EXPECT_EQ(CString("ab").Left(-1), "");
  EXPECT_EQ(CString("ab").Left(0), "");
  EXPECT_EQ(CString("ab").Left(5), "ab");
  // Bytes, not characters: a cut may split a multibyte character.
  EXPECT_EQ(CString("caf\xc3\xa9").Left(4).GetLength(), 4);
  EXPECT_EQ(CString(static_cast<const char*>(nullptr)), "");
}

TEST(CFileTest, OpensOnlyReadableFiles) {
  TempDir dir;
  testing_support::WriteFile(dir.File("shot0001.tga"), "x");
  testing_support::WriteFile(dir.File("empty.tga"), "");
  const UINT mode = CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoTruncate;
  ASSERT_EQ(mode, 0x2020U);

  struct Case {
    std::string path;
    bool opens;
  } cases[] = {
      {dir.File("shot0001.tga"), true},
      {dir.File("empty.tga"), true},
      {dir.File("missing.tga"), false},
      {dir.path().string(), false},   // a folder is not a frame file
      {dir.File("pipe.tga"), false},  // a named pipe would block the open for ever
      {"/dev/zero", false},           // nor is a device
      {"", false},
  };
  ASSERT_EQ(::mkfifo(dir.File("pipe.tga").c_str(), 0600), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    CFile file;
    CFileException error;
    EXPECT_EQ(file.Open(c.path.c_str(), mode, &error), c.opens ? TRUE : FALSE);
    EXPECT_EQ(file.IsOpen(), c.opens);
    EXPECT_EQ(error.m_cause != 0, !c.opens);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
  }
}

TEST(CFileTest, OpensForWritingWithoutWaitingOrLosingData) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("pipe.avi").c_str(), 0600), 0);
  const UINT keep = CFile::modeWrite | CFile::modeCreate | CFile::modeNoTruncate;
  struct Case {
    const char* what;
    std::string path;
    UINT mode;
    bool opens;
    const char* left;  // what the file holds after open and close; null: no file
  } cases[] = {
      {"creates a missing file", dir.File("new.avi"), keep, true, ""},
      {"keeps what a file holds", dir.File("old.avi"), keep, true, "keep me"},
      {"empties it when asked", dir.File("old.avi"), CFile::modeWrite | CFile::modeCreate, true,
       ""},
      {"needs modeCreate to create", dir.File("none.avi"), CFile::modeWrite, false, nullptr},
      {"a named pipe that nothing reads", dir.File("pipe.avi"), keep, false, nullptr},
      {"a folder", dir.path().string(), keep, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.path == dir.File("old.avi")) testing_support::WriteFile(c.path, "keep me");
    CFile file;
    EXPECT_EQ(file.Open(c.path.c_str(), c.mode), c.opens ? TRUE : FALSE);
    EXPECT_TRUE(file.Close());
    if (c.left) {
      std::ifstream in(c.path);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.left);
    } else if (c.path.find(".avi") != std::string::npos && c.path != dir.File("pipe.avi")) {
      EXPECT_FALSE(std::filesystem::exists(c.path));
    }
  }
}

TEST(CFileTest, ReadsSeeksAndMeasures) {
  TempDir dir;
  testing_support::WriteFile(dir.File("frame.tga"), "0123456789");
  CFile file;
  ASSERT_TRUE(file.Open(dir.File("frame.tga").c_str(), CFile::modeRead));
  EXPECT_EQ(file.GetLength(), 10u);
  char bytes[16] = {};
  EXPECT_EQ(file.Read(bytes, 4), 4u);
  EXPECT_EQ(std::string(bytes, 4), "0123");
  EXPECT_EQ(file.Seek(2, CFile::current), 6u);
  EXPECT_EQ(file.GetPosition(), 6u);
  EXPECT_EQ(file.Read(bytes, 16), 4u) << "only what is left";
  EXPECT_EQ(std::string(bytes, 4), "6789");
  EXPECT_EQ(file.Read(bytes, 16), 0u);
  EXPECT_EQ(file.Seek(-3, CFile::end), 7u);
  EXPECT_EQ(file.Seek(1, CFile::begin), 1u);
  EXPECT_EQ(file.Seek(-5, CFile::begin), CFile::kFailed);
  file.Close();
  EXPECT_EQ(file.GetLength(), CFile::kFailed);
  EXPECT_EQ(file.Read(bytes, 4), 0u);
}

TEST(CFileTest, StatusTellsWhetherAnEntryExists) {
  TempDir dir;
  testing_support::WriteFile(dir.File("shot.avi"), "RIFF");
  ASSERT_EQ(::symlink(dir.File("gone.avi").c_str(), dir.File("dangling.avi").c_str()), 0);
  struct Case {
    std::string path;
    bool exists;
  } cases[] = {
      {dir.File("shot.avi"), true},
      {dir.path().string(), true},
      {dir.File("dangling.avi"), true},
      {dir.File("new.avi"), false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    CFileStatus status;
    EXPECT_EQ(CFile::GetStatus(c.path.c_str(), status), c.exists ? TRUE : FALSE);
  }
  CFileStatus status;
  ASSERT_TRUE(CFile::GetStatus(dir.File("shot.avi").c_str(), status));
  EXPECT_EQ(status.m_size, 4U);
  EXPECT_FALSE(status.m_bDirectory);
}

class TwoFieldDialog : public CDialog {
 public:
  TwoFieldDialog() : CDialog(1) {}
  CString m_strName;
  CString m_strStatus;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, 10, m_strName);
    DDX_Text(pDX, 20, m_strStatus);
  }
};

TEST(CDialogTest, UpdateDataMovesTextBothWays) {
  TwoFieldDialog dlg;
  ScriptedUser user;
  user.Attach(dlg);
  user.controls[10] = "typed.avi";
  user.controls[20] = "old status";

  dlg.UpdateData(TRUE);
  EXPECT_EQ(dlg.m_strName, "typed.avi");
  EXPECT_EQ(dlg.m_strStatus, "old status");

  dlg.m_strStatus = "Saving Video Frame 1";
  user.controls[10] = "typed again, not read back";
  dlg.UpdateData(FALSE);
  EXPECT_EQ(user.controls[10], "typed.avi");
  EXPECT_EQ(user.controls[20], "Saving Video Frame 1");
}

TEST(CDialogTest, MessageBoxReturnsTheAnswer) {
  CDialog dlg(1);
  ScriptedUser user;
  user.Attach(dlg);
  user.answers = {IDNO};
  EXPECT_EQ(dlg.MessageBox("AVI file exists, overwrite?", "TGA to AVI Converter", MB_YESNO), IDNO);
  EXPECT_EQ(dlg.MessageBox("AVI File Created", "TGA to AVI Converter", MB_OK), IDOK);
  ASSERT_EQ(user.boxes.size(), 2U);
  EXPECT_EQ(user.boxes[0].style, MB_YESNO);
  EXPECT_EQ(user.boxes[1].caption, "TGA to AVI Converter");

  dlg.BeginWaitCursor();
  dlg.EndWaitCursor();
  EXPECT_EQ(user.waitCursor, 0);
  EXPECT_EQ(user.maxWaitCursor, 1);
}

TEST(CDialogTest, WithoutAWindowQuestionsChangeNothing) {
  CDialog dlg(1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(dlg.MessageBox("AVI file exists, overwrite?", "TGA to AVI Converter", MB_YESNO), IDNO);
  EXPECT_EQ(dlg.MessageBox("AVI File Created", "TGA to AVI Converter", MB_OK), IDOK);
  EXPECT_THAT(testing::internal::GetCapturedStderr(),
              testing::HasSubstr("TGA to AVI Converter: AVI File Created"));
}

TEST(FrameByteCountTest, RefusesCountsBeyondSigned32Bits) {
  const struct {
    std::uint64_t columns, rows;
    std::int64_t bytes;
  } cases[] = {
      {1920, 1080, 8294400},
      {1, 1, 4},
      {0, 1080, -1},
      {1920, 0, -1},
      {23170, 23170, 2147395600},
      {23171, 23171, -1},
      {65535, 65535, -1},
      {(1u << 29) - 1, 1, 2147483644},
      {1u << 29, 1, -1},
      {1, 1u << 29, -1},
      {std::uint64_t(1) << 40, std::uint64_t(1) << 40, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.columns << " x " << c.rows);
    EXPECT_EQ(FrameByteCount(c.columns, c.rows), c.bytes);
  }
}

}  // namespace
