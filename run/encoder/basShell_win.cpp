// Starting the encoder on Windows: CreateProcessW with the command text, hidden, in a job
// object that ends it with the program; its output read back through a pipe, the wait
// taken in slices.
#include "run/encoder/basShell.h"

#include "run/encoder/encoder_process_win.h"

#include "run/util/native_path.h"
#include "run/util/status.h"
#include "run/util/text.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>

namespace {

// Handles of the encoders running now, one slot each.
constexpr size_t kSlots = 256;
std::atomic<HANDLE> g_running[kSlots];

ProcessOutcome CouldNotStart(DWORD err, const std::filesystem::path& program) {
  ProcessOutcome out;
  out.how = ProcessOutcome::How::CouldNotStart;
  out.code = static_cast<int>(err);
  const std::error_code ec(static_cast<int>(err), std::system_category());
  out.reason = (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
                   ? "encoder not found (CreateProcessW " + ToDisplayPath(program) + ")"
                   : "encoder could not start: " + Status::FromError(ec, "CreateProcessW", program).reason();
  return out;
}

class Handle {
public:
  explicit Handle(HANDLE h = nullptr) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  void reset(HANDLE h = nullptr) {
    if (h_) CloseHandle(h_);
    h_ = h;
  }
private:
  HANDLE h_;
};


void ReadAvailable(HANDLE pipe, std::string& kept) {
  DWORD available = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) || got == 0) return;
    kept.append(buffer, got);
    if (kept.size() > 8192) kept.erase(0, kept.size() - 4096);
  }
}

// The encoder's output as UTF-8: taken as it is when it is UTF-8, else read in the
// system's ANSI code page.
std::string OutputText(const std::string& output) {
  if (ValidUtf8(output) == output) return output;
  const int n = MultiByteToWideChar(CP_ACP, 0, output.data(), static_cast<int>(output.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, output.data(), static_cast<int>(output.size()), wide.data(), n);
  return Utf8FromWide(wide);
}

}  // namespace

HANDLE EncoderJob() {
  static HANDLE job = [] {
    HANDLE j = CreateJobObjectW(nullptr, nullptr);
    if (j) {
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
      info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      SetInformationJobObject(j, JobObjectExtendedLimitInformation, &info, sizeof info);
    }
    return j;
  }();
  return job;
}

const std::string& EncoderFileName() {
  static const std::string name = "screnc.exe";
  return name;
}

ProcessOutcome RunHiddenAndWait(const EncoderCommand& command, const WaitControl& control) {
  SECURITY_ATTRIBUTES sa{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle nullIn(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                            OPEN_EXISTING, 0, nullptr));
  HANDLE r = nullptr, w = nullptr;
  if (!CreatePipe(&r, &w, &sa, 0)) return CouldNotStart(GetLastError(), command.program);
  Handle readEnd(r), writeEnd(w);
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = nullIn.get();
  si.hStdOutput = writeEnd.get();
  si.hStdError = writeEnd.get();

  std::wstring text = command.nativeText;  // CreateProcessW may write to it
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessW(
      nullptr, text.data(), nullptr, nullptr, TRUE,
      NORMAL_PRIORITY_CLASS | CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED,
      nullptr, nullptr, &si, &pi);
  if (!started) return CouldNotStart(GetLastError(), command.program);
  writeEnd.reset();
  Handle process(pi.hProcess), thread(pi.hThread);
  if (HANDLE job = EncoderJob()) AssignProcessToJobObject(job, process.get());
  ResumeThread(thread.get());
  NoteEncoderStarted(reinterpret_cast<std::intptr_t>(process.get()));

  std::string kept;
  EncoderDeadline deadline(control, std::chrono::steady_clock::now());
  while (WaitForSingleObject(process.get(), kEncoderSliceMs) == WAIT_TIMEOUT) {
    ReadAvailable(readEnd.get(), kept);
    Enforce(deadline.Next(std::chrono::steady_clock::now()), process.get());
  }
  NoteEncoderEnded(reinterpret_cast<std::intptr_t>(process.get()));
  ReadAvailable(readEnd.get(), kept);

  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  ProcessOutcome out = OutcomeOfExit(ExitStatusOfCode(code), deadline.EndedBy(), control.timeoutSeconds);
  out.errorText = LastOutputLine(OutputText(kept));
  return out;
}

std::string EncoderProblem(const std::filesystem::path& program) {
  const DWORD attributes = GetFileAttributesW(program.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const std::error_code ec(static_cast<int>(GetLastError()), std::system_category());
    return Status::FromError(ec, "GetFileAttributesW", program).reason();
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "not a regular file";
  return {};
}

void NoteEncoderStarted(std::intptr_t process) {
  for (auto& slot : g_running) {
    HANDLE free = nullptr;
    if (slot.compare_exchange_strong(free, reinterpret_cast<HANDLE>(process))) return;
  }
}

void NoteEncoderEnded(std::intptr_t process) {
  for (auto& slot : g_running) {
    HANDLE mine = reinterpret_cast<HANDLE>(process);
    if (slot.compare_exchange_strong(mine, nullptr)) return;
  }
}

void KillRunningEncoder() {
  for (auto& slot : g_running) {
    if (HANDLE process = slot.load()) TerminateProcess(process, 1);
  }
}
