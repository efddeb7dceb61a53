#pragma once
// The throw-away file the compressor choice is made on.

#include "platform/mfc/cstring.h"

/// A private, uniquely named file in the system's temporary folder ($TMPDIR, else /tmp),
/// created empty when the object is made and removed when it goes, whichever way the caller
/// leaves: "/tmp/tga2avi-probe-a1B2c3.avi". Nothing of the user's is ever touched.
class ProbeFile {
 public:
  ProbeFile();
  ~ProbeFile();
  ProbeFile(const ProbeFile&) = delete;
  ProbeFile& operator=(const ProbeFile&) = delete;

  /// False when no file could be made (the temporary folder is missing or full).
  bool Created() const { return !m_path.IsEmpty(); }
  const CString& Path() const { return m_path; }
  /// The folder the file is made in, as the environment names it.
  const CString& Folder() const { return m_folder; }
  /// Why no file could be made (the system's words); empty when it was.
  const CString& Failure() const { return m_failure; }

 private:
  CString m_path;
  CString m_folder;
  CString m_failure;
};
