#pragma once
// One encoder process for many files.
//
// The first file of a session starts `screnc --serve` (the encoder beside the program),
// once EncoderServes has found that it serves, and shakes hands with it; each file is then one request: the same arguments a
// per-file call gets, answered with that call's exit status and text (docs/screnc.md).
// An encoder that does not answer the handshake (not ours, or an older one) is started
// once per file for the rest of the session, exactly as RunHiddenAndWait does.
//
// The file's wait is the per-file wait: events every 50 ms, the time limit, a stop
// request's grace time, then the request to end and the kill. A server that crashes,
// hangs or is ended fails the file in hand with the same reason a per-file process
// would give ("encoder killed by signal 9", "encoder timed out after 5 s", "stopped:
// encoder ended"), its last error line after it, and the next file starts a fresh one.
// Every server is noted for KillRunningEncoder and ended with its session.
//
// A session belongs to one thread at a time; a run has one per worker.

#include "run/encoder/basShell.h"
#include "run/encoder/encoder_command.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One running `screnc --serve`. The platform part (encoder_session_posix.cpp, _win.cpp).
class ServerProcess {
public:
  // Starts `program --serve` and shakes hands; null when it does not answer in time or
  // answers something else (that process is ended first).
  static std::unique_ptr<ServerProcess> Start(const std::filesystem::path& program);
  // Ends the process: its input closed, then killed if it is still there after a moment.
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // One file: Send, then Await. When this returns with anything but an answer, the
  // process has ended.
  ProcessOutcome Ask(const std::vector<std::string>& arguments, const WaitControl& control);
  // A request queued without waiting for its answer; the server answers in order.
  // Queued requests are written together by Flush (each write wakes the server), and
  // before any wait.
  void Send(const std::vector<std::string>& arguments);
  void Flush();
  // The answer to the oldest request not yet answered. The wait (time limit, stop) starts
  // here, when that request is the one the server has in hand.
  ProcessOutcome Await(const WaitControl& control);
  bool Ended() const;

  struct Impl;
  explicit ServerProcess(std::unique_ptr<Impl> impl);

private:
  std::unique_ptr<Impl> impl_;
};

class EncoderSession {
public:
  // `perFile`: never try the serving mode (one process per file throughout).
  explicit EncoderSession(bool perFile = PerFileForced());
  ~EncoderSession();
  EncoderSession(const EncoderSession&) = delete;
  EncoderSession& operator=(const EncoderSession&) = delete;

  // The encoder on one file, through the server when there is one, else in a process of
  // its own. Never throws.
  ProcessOutcome Run(const EncoderCommand& command, const WaitControl& control);
  // Whether files now go through a server (false before the first file).
  bool Serving() const { return server_ != nullptr; }
  // A second session beside this one, made when first asked for and ended with it: for a
  // file's second pass (include_client.h), which must never come between this session's
  // server and the files sent to it ahead.
  EncoderSession& Side();

  // Pipelining: Send hands the server a file and returns at once, so the next file's
  // request is there when it has answered this one; Receive waits for the answers in
  // the order the files were sent. Send is false (nothing sent) when the encoder cannot
  // serve: the file is then Run on its own.
  //
  // A server that crashes, hangs or reaches the time limit fails only the oldest file,
  // the one it had in hand; the files sent after it go again to a fresh server (or one
  // process each, should none start). When a stop ended the server, files it had not
  // begun are dropped: Receive gives no outcome for them, and nothing was done to them.
  // The grace time of a stop runs from the stop for all the files sent, not anew for each.
  bool Send(const EncoderCommand& command);
  std::optional<ProcessOutcome> Receive(const WaitControl& control);
  std::size_t InFlight() const { return inFlight_.size(); }

  // QUILLWARD_PER_FILE=1 in the environment: one process per file, as with an encoder
  // that cannot serve (for comparing the two ways and for timing them).
  static bool PerFileForced();

private:
  // A server is there, if one can be started; false once the encoder cannot serve.
  bool EnsureServer(const std::filesystem::path& program);
  WaitControl SharedGrace(const WaitControl& control);

  std::unique_ptr<ServerProcess> server_;
  std::unique_ptr<EncoderSession> side_;
  bool perFile_;
  std::deque<EncoderCommand> inFlight_;  // sent, not yet answered, oldest first
  std::size_t unflushed_ = 0;            // requests queued since the last write
  std::optional<std::chrono::steady_clock::time_point> stopSeen_;  // when a wait first saw a stop
  std::size_t dropping_ = 0;             // files a stopped server had not begun, to drop
};

// Whether `program` serves. The first time a program (or a new version of it) is asked
// about in this process, `program --serve` is started in an empty temporary folder,
// removed afterwards, with its input the null device: ours greets at once and ends; a
// program that does not greet within kHandshakeMs is killed. Only a program that
// greeted is ever started to serve.
bool EncoderServes(const std::filesystem::path& program);
// The platform part: `program --serve` in `folder`, input from the null device; true
// when its output is exactly the greeting. The process is ended before this returns.
bool ProbeServing(const std::filesystem::path& program, const std::filesystem::path& folder);

// The protocol's framing, alike on every platform: 32-bit little-endian numbers.
std::string RequestFrame(const std::vector<std::string>& arguments);
// Takes one whole answer (STATUS, LENGTH, text) off the front of `buffer`; false, and
// `buffer` untouched, until all of it is there.
bool TakeAnswer(std::string& buffer, std::uint32_t& status, std::string& text);
// The outcome of an answered request, as the per-file call with that exit status and
// output would have had it.
ProcessOutcome AnswerOutcome(std::uint32_t status, const std::string& text);

inline constexpr char kServeHello[] = "screnc-serve 1\n";
inline constexpr std::size_t kServeHelloSize = sizeof kServeHello - 1;
inline constexpr int kHandshakeMs = 2000;
// Requests written to a server together when pipelining.
inline constexpr std::size_t kRequestsPerWrite = 4;
