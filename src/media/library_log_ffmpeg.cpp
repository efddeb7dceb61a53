#include "media/library_log.h"

#include <cstdarg>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// A callback, not a level: the encoder sets its own level when it first opens.
void DropLine(void* /*context*/, int /*level*/, const char* /*format*/, va_list /*args*/) {}

}  // namespace

void SilenceLibraryLog() { av_log_set_callback(DropLine); }
