#pragma once
// The texts the converter shows in more than one place. Every other message is written where
// it is shown; tests compare all of them word for word.

/// The caption of every message the converter shows about a job.
constexpr const char* kConverterCaption = "TGA to AVI Converter";

/// The line the status shows before the first conversion.
constexpr const char* kStatusNotice = "Choose frames, then Convert";
