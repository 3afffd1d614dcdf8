#pragma once
// What Start looks at before a run, apart from the window: whether the destination can
// be written, how many script files a source holds, the question asked when none of
// their kinds is to be encoded, and the run's messages in the window's words.

#include "encrypt_face.h"
#include "run/settings/run_settings.h"

#include <string>

// Why nothing can be written in `folder` (or, when it is not there yet, in the nearest
// folder above it), found by making a folder of a unique name there and removing it
// again; empty when it can be written.
std::string DestinationWriteProblem(const std::string& folder);
// The script files in `source` that a run with every kind chosen would encode.
long long ScriptFilesIn(const std::string& source, const RunSettings& settings);
// "Nothing is set to be encoded: N script files would be copied as they are." with the
// buttons Options (0), Copy anyway (1) and Cancel (2).
MessageSpec NothingToEncodeQuestion(long long scripts);
// The run's messages as the window says them: "cannot" in one word.
std::string SaidRight(std::string text);
