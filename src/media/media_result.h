#pragma once
// How every operation of the media core reports: success, or failure with the reason in words
// that a user can act on. The reason names the file and what the library said of it:
// "cannot open /clips/out.avi for writing: Permission denied",
// "Microsoft Video 1 cannot take frames of 66 x 50: needs width and height divisible by 4".

#include <string>
#include <utility>

class MediaResult {
 public:
  /// Success.
  MediaResult() = default;
  /// Failure, with its reason.
  static MediaResult Failed(std::string reason) { return MediaResult(std::move(reason)); }

  bool ok() const { return m_ok; }
  explicit operator bool() const { return m_ok; }
  /// Empty after success.
  const std::string& reason() const { return m_reason; }

 private:
  explicit MediaResult(std::string reason) : m_ok(false), m_reason(std::move(reason)) {}
  bool m_ok = true;
  std::string m_reason;
};
