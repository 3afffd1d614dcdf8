// The program: command line, one file after another, messages and exit status.
#include "program.h"

#include <cstdio>

#include "command_line.h"
#include "decode_page.h"
#include "encode_pieces.h"
#include "kinds.h"
#include "messages.h"
#include "paths.h"
#include "serve.h"

namespace screnc {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 255;  // the classic tool's -1

// What every file of one call shares.
struct Job {
  const CommandLine* line = nullptr;
  std::optional<Charset> code_page;
  std::optional<std::string> pattern_ext;  // extension from the source argument
  bool own_ext = false;  // the pattern's extension has wildcards: each file uses its own
  bool in_place = false;
};

bool is_hidden(const std::string& path, const FileInfo& info) {
  return info.hidden || name_part(path).starts_with('.');
}

// Encodes one file; false (after saying why) when it was not written.
bool encode_one(const Job& job, const std::string& src, const std::string& dst,
                const Console& con) {
  FileInfo info;
  if (const auto err = file_info(src, info)) {
    con.say(Msg::CannotRead, src);
    con.system_failure(false, src, err->reason);
    return false;
  }
  if (!info.regular || is_hidden(src, info) || (job.in_place && info.read_only)) {
    con.say(Msg::SpecialFile, src);
    return false;
  }
  std::optional<std::string> ext = job.line->extension;
  if (!ext) ext = job.own_ext ? extension_of(name_part(src)) : job.pattern_ext;
  if (!ext) {
    con.say(Msg::NoExtension, src);
    return false;
  }
  const std::optional<Kind> kind = kind_for_extension(*ext);
  KindOptions opt;
  if (kind) {
    opt.kind = *kind;
    opt.default_lang = job.line->language ? lang_from_name(*job.line->language)
                                          : default_lang_for(*kind, *ext);
    opt.add_directive = !job.line->no_directive;
    opt.crlf_after_directive = job.line->crlf_after_directive;
  }
  if (!kind || opt.default_lang == Lang::None) {
    con.say(Msg::EncoderFailed, src);
    return false;
  }

  // The page is encoded as it is read; only the output's pieces and a piece of the page
  // are held at a time (see encode_pieces.h for the pages that are held whole).
  const std::optional<std::uint32_t> mode =
      job.in_place ? std::optional<std::uint32_t>(info.mode) : std::nullopt;
  const PageResult r = encode_page_file(src, dst, mode, opt, job.code_page);
  switch (r.outcome) {
    case PageOutcome::Ok: break;
    case PageOutcome::BadFormat: con.say(Msg::BadFormat, src); return false;
    case PageOutcome::CannotRead:
      con.say(Msg::CannotRead, src);
      con.system_failure(false, src, r.reason);
      return false;
    case PageOutcome::CannotWrite:
      con.say(Msg::CannotWrite, dst);
      con.system_failure(true, dst, r.reason);
      return false;
  }
  return true;
}

}  // namespace

int run_program(const std::vector<std::string_view>& args, std::string* capture) {
  const ParseResult parsed = parse_command_line(args);
  const CommandLine& line = parsed.line;
  const Console con(line.silent, capture);
  switch (parsed.error) {
    case ParseError::Unrecognized: con.usage(Msg::Unrecognized, parsed.culprit); return kFailure;
    case ParseError::Incomplete: con.usage(Msg::Incomplete, parsed.culprit); return kFailure;
    case ParseError::TooMany: con.say(Msg::Usage); return kFailure;
    case ParseError::None: break;
  }
  if (line.help) {
    con.usage(Msg::Help);
    return kSuccess;
  }
  if (line.files.empty()) {
    if (args.empty()) con.say(Msg::Usage);
    else con.usage(Msg::MissingSource);
    return kFailure;
  }

  Job job;
  job.line = &line;
  if (line.code_page) {
    job.code_page = charset_from_code_page(*line.code_page);
    if (!job.code_page) {
      con.usage(Msg::Unrecognized, *line.code_page);
      return kFailure;
    }
  }
  const std::string source = full_path(line.files[0]);
  const std::string pattern = name_part(source);
  // A name that exists is the file itself, even when it holds '*' or '?'.
  const bool wildcard = has_wildcard(pattern) && !exists(source);
  if (!line.extension) {
    job.pattern_ext = extension_of(pattern);
    if (!job.pattern_ext || pattern.ends_with('*')) {
      con.usage(Msg::NoExtension, source);
      return kFailure;
    }
    job.own_ext = wildcard && has_wildcard(*job.pattern_ext);
  }

  std::string destination;
  if (line.files.size() < 2) {
    if (!line.force) {
      con.usage(Msg::MissingDestination);
      return kFailure;
    }
    job.in_place = true;
  } else {
    destination = full_path(line.files[1]);
    const bool same = wildcard ? same_file(destination, folder_part(source))
                               : same_file(source, destination);
    if (same) {
      con.usage(Msg::SameFile, source);
      return kFailure;
    }
  }

  std::vector<std::string> sources;
  if (wildcard) {
    std::vector<std::string> names;
    const std::string folder = folder_part(source);
    if (const auto err = list_matches(folder, pattern, names))
      con.system_failure(false, folder, err->reason);
    if (names.empty()) {
      con.say(Msg::CannotRead, source);
      return kFailure;
    }
    for (const std::string& n : names) sources.push_back(join(folder, n));
  } else {
    sources.push_back(source);
  }

  int encoded = 0;
  for (const std::string& src : sources) {
    const std::string dst = job.in_place ? src
                            : wildcard   ? join(destination, name_part(src))
                                         : destination;
    if (encode_one(job, src, dst, con)) ++encoded;
  }
  return encoded > 0 ? kSuccess : kFailure;
}

int run_main(const std::vector<std::string_view>& args) {
  if (args.size() == 1 && args[0] == kServeFlag) return serve(stdin, stdout);
  if (!args.empty() && args[0] == kDecodeFlag) return run_decode({args.begin() + 1, args.end()});
  const int status = run_program(args);
  std::fflush(stdout);
  return status;
}

}  // namespace screnc
