#pragma once
// The client script of an included HTML document.
//
// A file an ASP page includes and that holds server script is encoded as an include
// (/e asp /xl): its server script encoded, its client script left as an ASP page's is.
// When the options would have encoded that file as an HTML document, its client script
// is encoded too, by a second pass of the encoder in HTML mode (/e html) over the first
// pass's output. HTML mode knows nothing of server script: it would take a <script>
// element holding <%= %> whole into one client block, where IIS no longer sees the
// server block, and it would read a "<script" inside a server block left plain (a
// directive, a PerlScript page) as an element of its own. So the server script is
// shielded first:
//   1. each <% %> block and each <script runat=server> element (ScriptScan::server) is
//      replaced by a mark;
//   2. each client <script> element HTML mode would encode that holds a mark, in its tag
//      or its body, is replaced whole by a mark: it stays as an ASP page's would, every
//      block in it still seen by IIS;
//   3. HTML mode encodes what is left (the client elements free of server script), and
//      the marks are put back in its output.
// Step 2 is decided on the text of step 1, so what HTML mode encodes is exactly what it
// would encode in the page with its server script taken out.
//
// A mark is a control character the text does not hold, a number, and a second such
// character: never markup, never in an element HTML mode encodes, so the pass copies
// it as it is. A page without a byte-order mark that is not UTF-8 keeps one byte that is
// not UTF-8 in its first mark, so the encoder reads the shielded text in the same
// character set as the page. UTF-16 text is left to the first pass alone.

#include "run/encoder/basShell.h"
#include "run/encoder/encoder_session.h"
#include "run/settings/run_settings.h"
#include "run/encoder/script_regions.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ShieldedPage {
  std::string text;                 // what the HTML pass is given
  std::vector<std::string> pieces;  // what mark k stands for
  char open = 0, close = 0;         // the characters a mark starts and ends with
  bool notUtf8 = false;             // mark 0 holds the byte 0x80
  // In the page's own offsets: the script the HTML pass encodes, and the tags whose
  // language it names, each with the family it must name.
  std::vector<ScriptScan::Span> client;
  std::vector<ScriptScan::Named> named;
};

// The page (its bytes, as the first pass wrote it or as the source holds it) shielded.
// `htmlFamily`: the language of client script that names none ('J', 'V'). Nothing when
// the page is UTF-16, or holds every control character a mark could use.
std::optional<ShieldedPage> ShieldServerScript(std::string_view page, char htmlFamily,
                                               const std::function<void()>& progress = {});

// The HTML pass's output with each mark replaced by what it stands for; nothing when a
// mark is missing, repeated or damaged.
std::optional<std::string> RestoreServerScript(std::string_view encoded, const ShieldedPage& page);

// The encoder's second pass over an included HTML document: the first pass's output at
// the destination shielded, given to the encoder in HTML mode in a hidden folder of ours
// beside the destination (".qw-<pid>-<n>.tmp", removed afterwards; a killed run's is
// removed by the next run), its output's marks put back, and the result renamed over the
// destination. The pass goes to the side session of the file's own
// (EncoderSession::Side), so that it never comes between a serving encoder and the pages
// sent to it ahead; its wait follows the per-file rules (events, time limit, stop).
struct ClientPass {
  std::string reason;    // empty when done, or when there was no client script to encode
  bool stopped = false;  // a stop ended the encoder
};

// `htmlFamily`: the language of client script that names none ('J', 'V').
ClientPass EncodeIncludedClientScript(const std::filesystem::path& destination, const std::filesystem::path& appDir,
                                      const RunSettings& settings, char htmlFamily, const WaitControl& control,
                                      EncoderSession& encoder);
