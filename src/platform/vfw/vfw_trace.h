#pragma once
// A test seam into the AVIFile layer: a trace of the calls as they happen, failures that no
// real file can provoke, and a count of the objects still alive. The real path is the default;
// nothing here is used by the converter itself.

#include <string>
#include <vector>

/// The operations a test can make fail.
enum class VfwOp {
  kFileOpen,
  kCreateStream,
  kMakeCompressedStream,
  kSetFormat,
  kWrite,
  kGetStream,
  kFinish,  ///< AVIStreamFinish fails without finishing; the last release still finishes
};

/// While set, every AVIFile call appends one line to *trace: "vfw:AVIFileInit",
/// "vfw:AVIFileOpenA write", "vfw:AVIStreamWrite 3", "vfw:AVIStreamRelease compressed",
/// "vfw:AVIFileRelease", "vfw:AVIFileExit", ... Null stops the trace.
void SetVfwTrace(std::vector<std::string>* trace);

/// The nth call of op from now on (1: the next one) fails with an AVIERR_ code before it
/// touches anything. One fault per operation; ClearVfwFaults drops them all.
void FailVfwCall(VfwOp op, int nth = 1);
void ClearVfwFaults();

/// Files and streams not yet released: 0 when every handle has gone.
int VfwLiveObjects();
