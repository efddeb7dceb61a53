#pragma once
// Disks that fill up, for the tests: a child process whose files cannot grow past a chosen
// size (no privileges needed), and a small tmpfs mounted for the length of a test (where the
// test may mount one).
//
//   ChildRun run = RunWithFileSizeLimit(6 << 20, [&] { return WriteSomething(path); });
//   ASSERT_TRUE(run.ok) << run.error;   // run.report is what the lambda returned
//
//   TmpfsMount disk(20 << 20);
//   if (!disk.mounted()) GTEST_SKIP() << disk.why();

#include <cstdint>
#include <functional>
#include <string>

#include "tests/support/temp_dir.h"

namespace testing_support {

struct ChildRun {
  bool ok = false;     ///< the child ran body to its end and exited normally
  std::string report;  ///< what body returned
  std::string error;   ///< why not ok
};

/// Runs body in a forked child whose files may grow to at most limit bytes (RLIMIT_FSIZE, with
/// SIGXFSZ ignored, so that a write past it fails with EFBIG instead of ending the process).
/// The child leaves by _exit, running no destructor of the parent's objects; an exception in
/// body, or a child that takes more than timeoutSeconds, makes the run not ok.
ChildRun RunWithFileSizeLimit(std::uint64_t limit, const std::function<std::string()>& body,
                              int timeoutSeconds = 120);

/// A tmpfs of size bytes mounted on a private folder while the object lives, unmounted (and
/// the folder removed) when it goes. Mounting needs privileges a test often lacks:
/// mounted() is then false and why() says what failed.
class TmpfsMount {
 public:
  explicit TmpfsMount(std::uint64_t size);
  ~TmpfsMount();
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool mounted() const { return m_mounted; }
  const std::string& why() const { return m_why; }
  /// The path of name on the mounted file system.
  std::string File(const std::string& name) const { return m_dir.File(name); }

 private:
  TempDir m_dir;
  bool m_mounted = false;
  std::string m_why;
};

}  // namespace testing_support
