#pragma once
// How the path of one frame file splits into the parts that name a whole sequence, and how
// the path of any other frame of that sequence is built back from them.

#include "platform/mfc/cstring.h"

/// The parts of one frame file path. drive + dir + root + (width digits) + ext is the path.
struct SequenceName {
  CString drive;   ///< "D:" or empty
  CString dir;     ///< up to and including the last '\' or '/', or empty
  CString root;    ///< the file-name part less its trailing digits; may be empty
  int number = 0;  ///< the trailing digits' value; 0 when there are none
  int width = 0;   ///< how many trailing digits, leading zeros counted
  CString ext;     ///< from the last '.' of the file-name part, dot included, or empty
  /// The trailing digits' value does not fit a signed 32-bit number; number is then 0.
  bool numberTooLarge = false;
};

/// Splits a frame path: "D:\seq\shot0001.tga" gives drive "D:", dir "\seq\", root "shot",
/// number 1, width 4 and ext ".tga". Only the file-name part is scanned for digits; both
/// separators count. Never fails.
SequenceName SplitSequencePath(const CString& path);

/// The path of frame n of the sequence whose first file is first, its number zero-padded to
/// at least width digits: frame 12 of "D:\seq\shot0001.tga" with width 4 is
/// "D:\seq\shot0012.tga".
CString FrameFileName(const SequenceName& first, int width, int n);

/// The checks a pair of first and last names must pass before anything is written: both frame
/// numbers within range, then the last number not below the first, then the same root. Returns
/// the message of the first check that fails ("Ending frame number must be greater than
/// starting frame number"), or null when all pass; later checks are not made.
const char* SequenceProblem(const SequenceName& first, const SequenceName& last);
