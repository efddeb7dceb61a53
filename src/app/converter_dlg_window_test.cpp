#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "dialog/converter_dlg.h"
#include "platform/mfc/file_dialog.h"
#include "tests/support/scripted_user.h"

namespace {

using testing::ElementsAre;
using testing::Pair;
using testing_support::ScriptedUser;

// A user at the file dialogs: each dialog is recorded and answered with the next path of the
// queue, or cancelled when the queue is empty.
class ScriptedFileDialogs final : public FileDialogBackend {
 public:
  ScriptedFileDialogs() : m_previous(SetFileDialogBackend(this)) {}
  ~ScriptedFileDialogs() override { SetFileDialogBackend(m_previous); }

  struct Shown {
    bool open;
    std::string defaultExt;
    std::string initialName;
    DWORD flags;
    std::vector<std::pair<std::string, std::string>> filters;
  };
  std::vector<Shown> shown;
  std::deque<std::string> paths;

  int Run(const CFileDialog& dialog, std::string* path) override {
    shown.push_back({dialog.IsOpenStyle(), dialog.DefaultExtension().str(),
                     dialog.InitialFileName().str(), dialog.Flags(), dialog.Filters()});
    if (paths.empty()) return IDCANCEL;
    *path = paths.front();
    paths.pop_front();
    return IDOK;
  }

 private:
  FileDialogBackend* m_previous;
};

// The window as the handlers see it: a scripted user whose window records what they asked for.
class ScriptedWindow final : public ScriptedUser {
 public:
  std::vector<std::string> calls;

  void SetIcon(HICON icon, BOOL bBigIcon) override {
    calls.push_back(std::string(bBigIcon ? "big" : "small") + (icon ? ":icon" : ":none"));
  }
};

struct DialogFixture : testing::Test {
  DialogFixture() {
    RegisterIcon(IDR_MAINFRAME, icon);
    dlg = std::make_unique<CConverterDlg>();
    user.Attach(*dlg);
  }
  ~DialogFixture() override { RegisterIcon(IDR_MAINFRAME, nullptr); }

  // A handle the handlers only carry, never look into.
  int iconStorage = 0;
  HICON const icon = reinterpret_cast<HICON>(&iconStorage);
  ScriptedWindow user;
  ScriptedWindow& window = user;
  ScriptedFileDialogs files;
  std::unique_ptr<CConverterDlg> dlg;
};

using ConverterDlgWindowTest = DialogFixture;

TEST_F(ConverterDlgWindowTest, StartsWithEmptyFieldsTheNoticeAndBothIcons) {
  EXPECT_EQ(dlg->OnInitDialog(), TRUE);
  EXPECT_THAT(user.controls, ElementsAre(Pair(IDC_STATUS, kStatusNotice), Pair(IDC_AVI_FILE, ""),
                                         Pair(IDC_LAST_FILE, ""), Pair(IDC_FIRST_FILE, "")));
  EXPECT_THAT(window.calls, ElementsAre("big:icon", "small:icon"));
}

TEST_F(ConverterDlgWindowTest, EachBrowseButtonAsksForItsKindOfFile) {
  struct Case {
    void (CConverterDlg::*handler)();
    bool open;
    const char* ext;
    const char* description;
    const char* pattern;
    CString CConverterDlg::*member;
    int control;
  } cases[] = {
      {&CConverterDlg::OnBrowseFirst, true, "tga", "Graphic Files (*.tga)", "*.tga",
       &CConverterDlg::m_strFirstFile, IDC_FIRST_FILE},
      {&CConverterDlg::OnBrowseLast, true, "tga", "Graphic Files (*.tga)", "*.tga",
       &CConverterDlg::m_strLastFile, IDC_LAST_FILE},
      // The output is asked for in the save style, so that a new name can be given.
      {&CConverterDlg::OnBrowseAvi, false, "avi", "Video Files (*.avi)", "*.avi",
       &CConverterDlg::m_strAviFile, IDC_AVI_FILE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ext + std::string(c.open ? " open" : " save"));
    files.shown.clear();
    files.paths = {"/clips/chosen." + std::string(c.ext)};
    ((*dlg).*c.handler)();
    ASSERT_EQ(files.shown.size(), 1U);
    const ScriptedFileDialogs::Shown& shown = files.shown[0];
    EXPECT_EQ(shown.open, c.open);
    EXPECT_EQ(shown.defaultExt, c.ext);
    EXPECT_EQ(shown.initialName, "");
    // Hidden read-only box, no network button, and never the dialog's own overwrite question:
    // the Convert command asks it.
    EXPECT_EQ(shown.flags, 0x20004U);
    EXPECT_THAT(shown.filters, ElementsAre(Pair(c.description, c.pattern)));
    EXPECT_EQ((*dlg).*c.member, "/clips/chosen." + std::string(c.ext));
    EXPECT_EQ(user.controls[c.control], "/clips/chosen." + std::string(c.ext));
  }
}

TEST_F(ConverterDlgWindowTest, AChosenFileRewritesEveryFieldFromTheMembers) {
  dlg->m_strLastFile = "/clips/shot0240.tga";
  dlg->m_strStatus = "Saving Matte Frame 240";
  // Typed since the last read-back, so not yet in the members: the browse replaces it.
  user.controls[IDC_LAST_FILE] = "typed but not read back";
  user.controls[IDC_AVI_FILE] = "typed too";
  files.paths = {"/clips/shot0001.tga"};

  dlg->OnBrowseFirst();

  EXPECT_EQ(user.controls[IDC_FIRST_FILE], "/clips/shot0001.tga");
  EXPECT_EQ(user.controls[IDC_LAST_FILE], "/clips/shot0240.tga");
  EXPECT_EQ(user.controls[IDC_AVI_FILE], "");
  EXPECT_EQ(user.controls[IDC_STATUS], "Saving Matte Frame 240");
}

TEST_F(ConverterDlgWindowTest, ACancelledBrowseChangesNothing) {
  user.controls[IDC_FIRST_FILE] = "typed";
  dlg->m_strFirstFile = "/clips/old.tga";
  for (auto handler :
       {&CConverterDlg::OnBrowseFirst, &CConverterDlg::OnBrowseLast, &CConverterDlg::OnBrowseAvi}) {
    ((*dlg).*handler)();
  }
  EXPECT_EQ(files.shown.size(), 3U);
  EXPECT_EQ(user.controlWrites, 0);
  EXPECT_EQ(user.controls[IDC_FIRST_FILE], "typed");
  EXPECT_EQ(dlg->m_strFirstFile, "/clips/old.tga");
}

TEST_F(ConverterDlgWindowTest, AnOutputNameTypedWithoutExtensionGetsAvi) {
  struct Case {
    std::string typed;
    std::string stored;
  } cases[] = {
      {"/clips/movie", "/clips/movie.avi"},
      {"/clips/movie.avi", "/clips/movie.avi"},
      {"/clips/take1.mov", "/clips/take1.mov"},
      {"/clips.d/movie", "/clips.d/movie.avi"},
  };
  for (const Case& c : cases) {
    files.paths = {c.typed};
    dlg->OnBrowseAvi();
    EXPECT_EQ(dlg->m_strAviFile, c.stored) << c.typed;
  }
  // An existing frame file is taken exactly as picked.
  files.paths = {"/clips/shot0001"};
  dlg->OnBrowseFirst();
  EXPECT_EQ(dlg->m_strFirstFile, "/clips/shot0001");
}

TEST_F(ConverterDlgWindowTest, ADroppedFileFillsItsOwnFieldOnly) {
  const struct {
    const char* dropped;
    int control;
  } cases[] = {{"/clips/shot0001.tga", IDC_FIRST_FILE},
               {"/clips/take.AVI", IDC_AVI_FILE},
               {"/clips/still.png", IDC_FIRST_FILE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dropped);
    user.controls[IDC_FIRST_FILE] = "typed first";
    user.controls[IDC_LAST_FILE] = "typed last";
    user.controls[IDC_AVI_FILE] = "typed avi";
    dlg->OnDropFile(c.dropped);
    EXPECT_EQ(user.controls[c.control], c.dropped);
    EXPECT_EQ(user.controls[IDC_LAST_FILE], "typed last");
    for (const int other : {IDC_FIRST_FILE, IDC_AVI_FILE}) {
      if (other != c.control) {
        EXPECT_NE(user.controls[other], c.dropped);
      }
    }
  }
}

TEST_F(ConverterDlgWindowTest, SuggestionsFillOnlyEmptyFields) {
  user.controls[IDC_LAST_FILE] = "";
  user.controls[IDC_AVI_FILE] = "/out/typed.avi";
  dlg->FillEmptyFields("/clips/shot0240.tga", "/clips/shot.avi");
  EXPECT_EQ(user.controls[IDC_LAST_FILE], "/clips/shot0240.tga");
  EXPECT_EQ(dlg->m_strLastFile, "/clips/shot0240.tga");
  EXPECT_EQ(user.controls[IDC_AVI_FILE], "/out/typed.avi");

  // Nothing to suggest, or nothing empty: nothing is written.
  const int writes = user.controlWrites;
  dlg->FillEmptyFields("", "/clips/shot.avi");
  user.controls[IDC_LAST_FILE] = "";
  dlg->FillEmptyFields("", "");
  EXPECT_EQ(user.controlWrites, writes);
  EXPECT_EQ(user.controls[IDC_LAST_FILE], "");
}

}  // namespace
