// What an encoder session does alike on every platform: the choice between the server
// and a process per file, and the protocol's framing.
#include "run/encoder/encoder_session.h"

#include "run/encoder/encoder_deadline.h"
#include "run/util/fs_ops.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// A new empty folder for the probe, in the system's temporary folder; empty when none
// can be made.
fs::path MakeProbeFolder() {
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) return {};
  static unsigned serial = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder =
        base / ("quillward-probe-" + std::to_string(CurrentProcessId()) + "-" + std::to_string(++serial));
    if (fs::create_directory(folder, ec)) return folder;
    if (ec) return {};
  }
  return {};
}

void PutU32(std::string& out, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

std::uint32_t GetU32(const std::string& in, std::size_t at) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(in[at + static_cast<std::size_t>(k)]);
  return v;
}

}  // namespace

bool EncoderServes(const fs::path& program) {
  // Once per program and version of it: workers and the report ask alike.
  static std::mutex guard;
  using Key = std::tuple<fs::path, unsigned long long, unsigned long long, long long>;
  static std::map<Key, bool> known;
  const std::lock_guard<std::mutex> lock(guard);
  const FileStamp stamp = StampOf(program).value_or(FileStamp{});
  const Key key{program, stamp.inode, stamp.size, stamp.modifiedNs};
  if (const auto found = known.find(key); found != known.end()) return found->second;
  // Whatever the program does with "--serve" (a foreign encoder may take it for a file
  // name), it does it in a folder of its own, removed afterwards with all it holds.
  const fs::path folder = MakeProbeFolder();
  const bool serves = !folder.empty() && ProbeServing(program, folder);
  std::error_code ec;
  if (!folder.empty()) fs::remove_all(folder, ec);
  known[key] = serves;
  return serves;
}

bool EncoderSession::PerFileForced() {
  const char* value = std::getenv("QUILLWARD_PER_FILE");
  return value && std::strcmp(value, "1") == 0;
}

EncoderSession::EncoderSession(bool perFile) : perFile_(perFile) {}

EncoderSession::~EncoderSession() = default;

EncoderSession& EncoderSession::Side() {
  if (!side_) side_ = std::make_unique<EncoderSession>(perFile_);
  return *side_;
}

bool EncoderSession::EnsureServer(const std::filesystem::path& program) {
  if (!perFile_ && !server_) {
    if (EncoderServes(program)) server_ = ServerProcess::Start(program);
    // Ours answers at once; anything else is served one process per file from now on.
    if (!server_) perFile_ = true;
  }
  return server_ != nullptr;
}

ProcessOutcome EncoderSession::Run(const EncoderCommand& command, const WaitControl& control) {
  if (!EnsureServer(command.program)) return RunHiddenAndWait(command, control);
  ProcessOutcome out = server_->Ask(command.requestArguments, control);
  if (server_->Ended()) server_.reset();  // the next file gets a fresh one
  return out;
}

bool EncoderSession::Send(const EncoderCommand& command) {
  if (!inFlight_.empty() && !server_) {
    inFlight_.push_back(command);  // waits for the fresh server the files before it get
    return true;
  }
  if (!EnsureServer(command.program)) return false;
  inFlight_.push_back(command);
  server_->Send(command.requestArguments);
  // Requests go out a few at a time: the server then wakes once for several files.
  if (++unflushed_ >= kRequestsPerWrite) {
    server_->Flush();
    unflushed_ = 0;
  }
  return true;
}

// The grace time after a stop is the stop's, not each file's: the files sent ahead
// share what is left of it, so a stop ends the worker within one grace time.
WaitControl EncoderSession::SharedGrace(const WaitControl& control) {
  WaitControl shared = control;
  if (!control.poll) return shared;
  if (stopSeen_) {
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - *stopSeen_);
    shared.stopGraceMs = std::max(0, control.stopGraceMs - static_cast<int>(spent.count()));
  }
  shared.poll = [this, poll = control.poll] {
    const bool stop = poll();
    if (stop && !stopSeen_) stopSeen_ = std::chrono::steady_clock::now();
    return stop;
  };
  return shared;
}

std::optional<ProcessOutcome> EncoderSession::Receive(const WaitControl& control) {
  const EncoderCommand command = std::move(inFlight_.front());
  inFlight_.pop_front();
  if (dropping_ > 0) {
    --dropping_;
    return std::nullopt;
  }
  if (!server_ && EnsureServer(command.program)) {
    // The server before this one ended with this file and those after it unanswered.
    server_->Send(command.requestArguments);
    for (const EncoderCommand& next : inFlight_) server_->Send(next.requestArguments);
  }
  if (!server_) return RunHiddenAndWait(command, control);
  unflushed_ = 0;  // Await writes what is queued
  ProcessOutcome out = server_->Await(SharedGrace(control));
  if (server_->Ended()) {
    server_.reset();
    if (out.how == ProcessOutcome::How::Stopped) dropping_ = inFlight_.size();
  }
  return out;
}

// The same on every platform: the platform files only send, wait and read.
ProcessOutcome ServerProcess::Ask(const std::vector<std::string>& arguments, const WaitControl& control) {
  Send(arguments);
  return Await(control);
}

std::string RequestFrame(const std::vector<std::string>& arguments) {
  std::string frame;
  PutU32(frame, static_cast<std::uint32_t>(arguments.size()));
  for (const std::string& a : arguments) {
    PutU32(frame, static_cast<std::uint32_t>(a.size()));
    frame += a;
  }
  return frame;
}

bool TakeAnswer(std::string& buffer, std::uint32_t& status, std::string& text) {
  if (buffer.size() < 8) return false;
  const std::uint32_t length = GetU32(buffer, 4);
  if (buffer.size() - 8 < length) return false;
  status = GetU32(buffer, 0);
  text = buffer.substr(8, length);
  buffer.erase(0, 8 + static_cast<std::size_t>(length));
  return true;
}

ProcessOutcome AnswerOutcome(std::uint32_t status, const std::string& text) {
  ProcessOutcome out = OutcomeOfExit({ExitStatus::Kind::Code, status}, ProcessOutcome::How::Exited, 0);
  out.errorText = LastOutputLine(text);
  return out;
}
