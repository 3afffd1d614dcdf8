// A serving encoder on Windows: CreateProcessW with pipes for stdin, stdout and stderr,
// hidden, in a job object that ends it with the program; the answer is read as it comes
// (PeekNamedPipe), the wait taken in short slices.
#include "run/encoder/encoder_session.h"

#include "run/encoder/encoder_process_win.h"

#include "run/util/text.h"

#include <windows.h>

#include <chrono>
#include <string>

namespace {

void CloseHandleOnce(HANDLE& h) {
  if (h) CloseHandle(h);
  h = nullptr;
}

// Reads what is there now; false once the other end has closed.
bool ReadAvailable(HANDLE pipe, std::string& into, bool keepTail) {
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) return true;
    char buffer[8192];
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr)) return false;
    into.append(buffer, got);
    if (keepTail && into.size() > 8192) into.erase(0, into.size() - 4096);
  }
}

bool WriteAll(HANDLE pipe, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    DWORD wrote = 0;
    if (!WriteFile(pipe, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, nullptr)) return false;
    done += wrote;
  }
  return true;
}

}  // namespace

struct ServerProcess::Impl {
  HANDLE process = nullptr, input = nullptr, output = nullptr, errors = nullptr;
  bool ended = false;
  bool gone = false;  // a request could not be sent: the server has ended
  std::string answers, kept;
  std::string outbox;  // requests not written yet

  ~Impl() {
    CloseHandleOnce(input);
    CloseHandleOnce(output);
    CloseHandleOnce(errors);
    CloseHandleOnce(process);
  }
  bool Reaped() {
    if (!ended && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
      ended = true;
      NoteEncoderEnded(reinterpret_cast<std::intptr_t>(process));
    }
    return ended;
  }
  void Kill() {
    if (Reaped()) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
    Reaped();
  }
  bool Handshake() {
    if (!WriteAll(input, std::string(kServeHello, kServeHelloSize))) return false;
    const ULONGLONG until = GetTickCount64() + kHandshakeMs;
    while (answers.size() < kServeHelloSize) {
      const bool open = ReadAvailable(output, answers, false);
      if (answers.compare(0, answers.size(), kServeHello, std::min(answers.size(), kServeHelloSize)) != 0) return false;
      if (answers.size() >= kServeHelloSize) break;
      if (!open || GetTickCount64() >= until || Reaped()) return false;
      WaitForSingleObject(process, 1);
    }
    answers.erase(0, kServeHelloSize);
    return answers.empty();
  }
};

// Starts `program --serve` hidden, with the given standard handles, in `folder` (the
// current one when empty), suspended until it is in the encoders' job, and notes it.
// Nothing started: false.
bool StartServing(const std::filesystem::path& program, const std::filesystem::path& folder, HANDLE in, HANDLE out,
                  HANDLE err, HANDLE& process) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  std::wstring text = L"\"" + std::filesystem::path(program).make_preferred().native() + L"\" --serve";
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, text.data(), nullptr, nullptr, TRUE,
                      NORMAL_PRIORITY_CLASS | CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi))
    return false;
  if (HANDLE job = EncoderJob()) AssignProcessToJobObject(job, pi.hProcess);
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  NoteEncoderStarted(reinterpret_cast<std::intptr_t>(pi.hProcess));
  process = pi.hProcess;
  return true;
}

ServerProcess::ServerProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<ServerProcess> ServerProcess::Start(const std::filesystem::path& program) {
  SECURITY_ATTRIBUTES sa{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inRead = nullptr, outWrite = nullptr, errWrite = nullptr;
  auto impl = std::make_unique<Impl>();
  if (!CreatePipe(&inRead, &impl->input, &sa, 1 << 16)) return nullptr;
  if (!CreatePipe(&impl->output, &outWrite, &sa, 1 << 16) || !CreatePipe(&impl->errors, &errWrite, &sa, 0)) {
    CloseHandleOnce(inRead);
    CloseHandleOnce(outWrite);
    return nullptr;
  }
  for (HANDLE ours : {impl->input, impl->output, impl->errors}) SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);

  const bool started = StartServing(program, {}, inRead, outWrite, errWrite, impl->process);
  CloseHandleOnce(inRead);
  CloseHandleOnce(outWrite);
  CloseHandleOnce(errWrite);
  if (!started) return nullptr;
  if (!impl->Handshake()) {
    impl->Kill();
    return nullptr;
  }
  return std::make_unique<ServerProcess>(std::move(impl));
}

bool ProbeServing(const std::filesystem::path& program, const std::filesystem::path& folder) {
  SECURITY_ATTRIBUTES sa{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE output = nullptr, outWrite = nullptr;
  if (!CreatePipe(&output, &outWrite, &sa, 1 << 12)) return false;
  SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
  HANDLE nullIn = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  HANDLE nullErr = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  HANDLE process = nullptr;
  const bool started = nullIn != INVALID_HANDLE_VALUE && nullErr != INVALID_HANDLE_VALUE &&
                       StartServing(program, folder, nullIn, outWrite, nullErr, process);
  CloseHandleOnce(outWrite);
  for (HANDLE h : {nullIn, nullErr})
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  if (!started) {
    CloseHandleOnce(output);
    return false;
  }
  // Its output up to its end, or as much as comes within the limit.
  std::string said;
  const ULONGLONG until = GetTickCount64() + kHandshakeMs;
  for (;;) {
    const bool open = ReadAvailable(output, said, false);
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    if (ended) ReadAvailable(output, said, false);
    if (!open || ended || said.size() > kServeHelloSize || GetTickCount64() >= until) break;
    WaitForSingleObject(process, 5);
  }
  if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
  }
  NoteEncoderEnded(reinterpret_cast<std::intptr_t>(process));
  CloseHandle(process);
  CloseHandleOnce(output);
  return said == std::string(kServeHello, kServeHelloSize);
}

ServerProcess::~ServerProcess() {
  if (!impl_->ended) {
    CloseHandleOnce(impl_->input);  // the end of input: an idle server ends with status 0
    if (WaitForSingleObject(impl_->process, 1000) != WAIT_OBJECT_0) impl_->Kill();
    impl_->Reaped();
  }
}

bool ServerProcess::Ended() const { return impl_->ended; }

void ServerProcess::Send(const std::vector<std::string>& arguments) { impl_->outbox += RequestFrame(arguments); }

void ServerProcess::Flush() {
  if (!impl_->gone && !impl_->outbox.empty() && !WriteAll(impl_->input, impl_->outbox)) impl_->gone = true;
  impl_->outbox.clear();
}

ProcessOutcome ServerProcess::Await(const WaitControl& control) {
  Flush();
  Impl& s = *impl_;
  s.kept.clear();
  bool open = true;  // answers to earlier files may wait, also when a request could not be sent
  EncoderDeadline deadline(control, std::chrono::steady_clock::now());
  for (;;) {
    if (open) open = ReadAvailable(s.output, s.answers, false);
    ReadAvailable(s.errors, s.kept, true);
    std::uint32_t status = 0;
    std::string text;
    if (deadline.EndedBy() == ProcessOutcome::How::Exited && TakeAnswer(s.answers, status, text)) {
      return AnswerOutcome(status, text);
    }
    if (s.Reaped()) break;
    WaitForSingleObject(s.process, open ? 1 : kEncoderSliceMs);
    Enforce(deadline.Next(std::chrono::steady_clock::now()), s.process);
  }
  ReadAvailable(s.errors, s.kept, true);
  DWORD code = 0;
  GetExitCodeProcess(s.process, &code);
  // Ended without an answer: never a success, whatever its status.
  ProcessOutcome out = OutcomeOfExit(ExitStatusOfCode(code), deadline.EndedBy(), control.timeoutSeconds, true);
  out.errorText = LastOutputLine(ValidUtf8(s.kept));
  return out;
}
