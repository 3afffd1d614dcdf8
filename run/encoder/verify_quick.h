#pragma once
// The quick pass of the check of an encoded page (verify.h): for a page that passes, the
// answer without building the texts the full comparison sets side by side. Internal to
// verify.cpp.
//
// The output's blocks are decoded into one text and the source read where it lies; the
// places where either differs from the text compared (verify_text.h, LanguageEdits) are
// found, and the stretches between them compared as they stand. Which script must read back
// from a block is kept as the source's regions and the output's blocks, by their places,
// rather than a flag a character. The pass answers yes only where the full comparison
// finds nothing; at anything it leaves to that comparison (a UTF-16 page, a damaged block,
// a difference, script left readable, a language of another family) it answers no, and
// the full comparison gives the verdict and its reason.

#include "run/encoder/verify_text.h"
#include "run/walk/file_kind.h"

#include <string>
#include <string_view>

namespace verify_text {

// True when CompareDecoded(source, encoded, ...) is certainly empty; false when the full
// comparison must say. Works in the room of `w`; asks the stop question (Tick).
bool PassesQuickly(Workspace& w, std::string_view source, std::string_view encoded, FileKind kind, char defaultFamily,
                   char clientFamily);

// The full comparison alone, without the quick pass before it: its verdict and reason.
std::string CompareInFull(std::string_view source, std::string_view encoded, FileKind kind, char defaultFamily,
                          char clientFamily = 0);

}  // namespace verify_text
