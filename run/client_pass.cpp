#include "client_pass.h"

#include "encoder_command.h"
#include "fs_ops.h"
#include "include_client.h"
#include "paths.h"

#include <system_error>

namespace fs = std::filesystem;

namespace {

// The hidden folder and what is in it, removed however the pass ends.
struct PassFolder {
  fs::path path;
  ~PassFolder() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
};

// The restored page written beside the destination, then renamed over it.
std::string Replace(const fs::path& destination, const std::string& content) {
  const fs::path tmp = TemporaryBeside(destination);
  Status written = CreateExclusive(tmp, content);
  if (written.ok()) written = RenameOver(tmp, destination);
  if (!written.ok()) RemoveFile(tmp);
  return written.reason();
}

}  // namespace

ClientPass EncodeIncludedClientScript(const fs::path& destination, const fs::path& appDir, const RunSettings& settings,
                                      char htmlFamily, const WaitControl& control, EncoderSession& encoder) {
  ClientPass pass;
  std::string page;
  if (Status read = ReadRegularFile(destination, page); !read.ok()) {
    pass.reason = read.reason();
    return pass;
  }
  const std::optional<ShieldedPage> shielded = ShieldServerScript(page, htmlFamily);
  if (!shielded || shielded->client.empty()) return pass;

  PassFolder folder;
  const fs::path made = TemporaryBeside(destination);
  bool existed = false;  // never one that was there: it is not ours to fill or remove
  if (Status status = MakeFolder(made, &existed); !status.ok() || existed) {
    pass.reason = existed ? "HTML pass: " + ToDisplayPath(made) + " is there already" : status.reason();
    return pass;
  }
  folder.path = made;
  // Names of their own: the encoder refuses a hidden source, and reads either as HTML (/e html).
  const fs::path in = AbsolutePath(made / "page.htm"), out = AbsolutePath(made / "encoded.htm");
  if (Status status = CreateExclusive(in, shielded->text); !status.ok()) {
    pass.reason = status.reason();
    return pass;
  }
  const ProcessOutcome outcome =
      encoder.Side().Run(BuildEncoderCommand(ClientPassSwitchPart(settings), appDir, in, out), control);
  if (!outcome.Succeeded()) {
    pass.stopped = outcome.how == ProcessOutcome::How::Stopped;
    pass.reason = pass.stopped ? outcome.Explained() : "HTML pass: " + outcome.Explained();
    return pass;
  }
  std::string encoded;
  if (Status read = ReadRegularFile(out, encoded); !read.ok() || encoded.empty()) {
    pass.reason = "HTML pass: encoder wrote no output";
    return pass;
  }
  const std::optional<std::string> restored = RestoreServerScript(encoded, *shielded);
  if (!restored) {
    pass.reason = "HTML pass: the encoder did not leave the server script as it was";
    return pass;
  }
  pass.reason = Replace(destination, *restored);
  pass.encoded = pass.reason.empty();
  return pass;
}
