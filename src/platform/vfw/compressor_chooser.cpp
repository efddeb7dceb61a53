#include "platform/vfw/compressor_chooser.h"

namespace {
CompressorChooser* g_chooser = nullptr;
}  // namespace

CompressorChooser* SetCompressorChooser(CompressorChooser* chooser) {
  CompressorChooser* previous = g_chooser;
  g_chooser = chooser;
  return previous;
}

CompressorChooser* GetCompressorChooser() { return g_chooser; }
