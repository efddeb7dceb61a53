#pragma once
// The fuzz targets hand each input to the readers as a frame reaches them: a file named .tga.
// One file per process, in /dev/shm when it can be written (no disk traffic), else in $TMPDIR or
// /tmp; it is removed when the process exits normally.

#include <cstddef>
#include <cstdint>
#include <string>

/// Replaces this process's input file with size bytes from data and returns its path, such as
/// "/dev/shm/tga2avi-fuzz-4242.tga". Aborts when the file cannot be written.
const std::string& WriteFuzzInput(const std::uint8_t* data, std::size_t size);

/// Prints what went wrong and aborts, for the fuzzer to keep the input that did it.
[[noreturn]] void FuzzFailure(const char* what);
