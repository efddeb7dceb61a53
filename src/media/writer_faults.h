#pragma once
// A test seam into the AVI writer: failures that no real file provokes on demand. Nothing in
// the converter calls these; without them every step runs as it would.

/// The writer's steps a test can make fail.
enum class WriterStep { kOpen, kStart, kWrite, kFinish };

/// The nth call of step from now on (1: the next one), by any writer, fails with the reason
/// "injected failure" before it touches anything; a failing Finish still finishes the file
/// whole, only its result is the failure. One fault per step; ClearWriterFaults drops them all.
void FailWriterStep(WriterStep step, int nth = 1);
void ClearWriterFaults();
