// The lock beside an output: what a crashed run, a user's own file of the lock's name and
// other names of the same output do to it.

#include "job/output_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(OutputLockTest, AStaleLockIsTakenOverAndAUsersFileIsKept) {
  TempDir dir;
  const std::string pid = std::to_string(::getpid()) + "\n";
  struct Case {
    const char* what;
    std::string before;  // the lock file's contents before; empty: no file
    bool removed;        // the file is gone once the lock is
  } cases[] = {
      {"no file", "", true},
      {"left by a run that crashed", "99999\n", true},
      {"a user's file of that name", "my notes\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string output = dir.File("shot.avi");
    const std::string lockFile = output + ".lock";
    std::filesystem::remove(lockFile);
    if (!c.before.empty()) WriteFile(lockFile, c.before);
    {
      const OutputLock lock(output);
      EXPECT_EQ(lock.state(), OutputLock::State::kHeld);
      EXPECT_EQ(ReadText(lockFile), c.removed ? pid : c.before);
    }
    EXPECT_EQ(std::filesystem::exists(lockFile), !c.removed);
    if (!c.removed) {
      EXPECT_EQ(ReadText(lockFile), c.before);
    }
  }
}

TEST(OutputLockTest, OtherNamesOfOneOutputMeet) {
  TempDir dir;
  WriteFile(dir.File("shot.avi"), "");
  std::filesystem::create_symlink("shot.avi", dir.File("link.avi"));
  const OutputLock first(dir.File("shot.avi"));
  ASSERT_EQ(first.state(), OutputLock::State::kHeld);
  for (const std::string& name : {dir.File("link.avi"), dir.File("./shot.avi")}) {
    SCOPED_TRACE(name);
    const OutputLock second(name);
    EXPECT_EQ(second.state(), OutputLock::State::kBusy);
    EXPECT_EQ(second.Holder(), ::getpid());
  }
  // Where no lock can be made, the job goes on and the writing says what is wrong.
  EXPECT_EQ(OutputLock(dir.File("none/shot.avi")).state(), OutputLock::State::kUnavailable);
}

}  // namespace
