#pragma once
// The encoder's second pass over an included HTML document (include_client.h): the
// first pass's output at the destination shielded, given to the encoder in HTML mode in a
// hidden folder of ours beside the destination (".qw-<pid>-<n>.tmp", removed afterwards;
// a killed run's is removed by the next run), its output's marks put back, and the
// result renamed over the destination. The pass goes to the side session of the file's
// own (EncoderSession::Side), so that it never comes between a serving encoder and the
// pages sent to it ahead; its wait follows the per-file rules (events, time limit, stop).

#include "basShell.h"
#include "encoder_session.h"
#include "run_settings.h"

#include <filesystem>
#include <string>

struct ClientPass {
  std::string reason;    // empty when done, or when there was no client script to encode
  bool stopped = false;  // a stop ended the encoder
  bool encoded = false;  // the encoder ran and its result is at the destination
};

// `htmlFamily`: the language of client script that names none ('J', 'V').
ClientPass EncodeIncludedClientScript(const std::filesystem::path& destination, const std::filesystem::path& appDir,
                                      const RunSettings& settings, char htmlFamily, const WaitControl& control,
                                      EncoderSession& encoder);
