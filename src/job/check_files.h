#pragma once
// The check of the written files after both passes: each file is opened again and must hold the
// frames that were handed to it; a lossless compressor's file must give back its first and last
// frames exactly as they were written.

#include <string>

#include "avi/conversion_job.h"
#include "dialog/job_events.h"
#include "platform/mfc/cstring.h"
#include "platform/mfc/dialog.h"

/// Reads back every file the passes of job wrote, except one whose write error was told
/// already. A file that does not hold what was written is told through dlg's message box, one
/// box per file, naming it ("Check failed: /clips/shot.matte.avi holds 239 frames, 240 were
/// written"). Returns what each file held.
FilesChecked CheckWrittenFiles(CDialog& dlg, const ConversionJob& job);

/// The check's result in words for the window's sequence line and the command line: "Checked:
/// shot.avi and shot.matte.avi, 240 frames each, lossless frames identical", "Check failed:
/// shot.matte.avi"; empty when no file was checked.
std::string CheckLine(const FilesChecked& checked);
