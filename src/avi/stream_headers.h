#pragma once
// The three records a job's streams are described by, built once by the video pass and used
// again by the matte pass.

#include "avi/conversion_job.h"
#include "platform/vfw/vfw.h"

/// The stream rate as dwRate / dwScale. A whole rate r gives r / 1; any other is taken as an
/// NTSC-style rate, round(rate * 1001) / 1001: 25 gives 25 / 1, 29.97 gives 30000 / 1001.
/// A rate that is not a positive number below 1,000,000 gives 0 / 1.
void StreamRate(float rate, DWORD* dwRate, DWORD* dwScale);

/// Fills job.streamInfo, job.bitmapHeader and job.options from job.width, job.height,
/// job.rate and job.frameByteSize: a "vids" stream of 32-bit BI_RGB frames, rows bottom-up,
/// no compressor chosen yet, default quality; every other byte zero.
void BuildStreamHeaders(ConversionJob& job);
