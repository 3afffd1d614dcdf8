// Starting the encoder on Windows: CreateProcessW with the command text, hidden.
#include "basShell.h"

#include "status.h"

#include <windows.h>

namespace {

ProcessOutcome CouldNotStart(DWORD err, const std::filesystem::path& program) {
  ProcessOutcome out;
  out.how = ProcessOutcome::How::CouldNotStart;
  out.code = static_cast<int>(err);
  const std::error_code ec(static_cast<int>(err), std::system_category());
  out.reason = (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
                   ? QStringLiteral("encoder not found (CreateProcessW %1)")
                         .arg(QString::fromStdWString(program.native()))
                   : QStringLiteral("encoder could not start: ") +
                         Status::FromError(ec, "CreateProcessW", program).reason();
  return out;
}

// The null device, inheritable, for the child's standard handles.
HANDLE OpenNullDevice(DWORD access) {
  SECURITY_ATTRIBUTES sa{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0,
                     nullptr);
}

}  // namespace

const QString& EncoderFileName() {
  static const QString name = QStringLiteral("screnc.exe");
  return name;
}

ProcessOutcome RunHiddenAndWait(const EncoderCommand& command) {
  HANDLE nullIn = OpenNullDevice(GENERIC_READ);
  HANDLE nullOut = OpenNullDevice(GENERIC_WRITE);

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = nullIn;
  si.hStdOutput = nullOut;
  si.hStdError = nullOut;

  std::wstring text = command.text.toStdWString();  // CreateProcessW may write to it
  PROCESS_INFORMATION pi{};
  const BOOL started =
      CreateProcessW(nullptr, text.data(), nullptr, nullptr, TRUE,
                     NORMAL_PRIORITY_CLASS | CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP,
                     nullptr, nullptr, &si, &pi);
  const DWORD startError = started ? 0 : GetLastError();
  if (nullIn != INVALID_HANDLE_VALUE) CloseHandle(nullIn);
  if (nullOut != INVALID_HANDLE_VALUE) CloseHandle(nullOut);
  if (!started) return CouldNotStart(startError, command.program);

  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  ProcessOutcome out;
  // Exit codes from 0xC0000000 up are exceptions that ended the process.
  if (code >= 0xC0000000u && code != 0xFFFFFFFFu) {  // -1 is an ordinary failure
    out.how = ProcessOutcome::How::Killed;
    out.code = static_cast<int>(code);
    out.reason = QStringLiteral("encoder ended by exception 0x%1").arg(code, 8, 16, QLatin1Char('0'));
  } else {
    out.how = ProcessOutcome::How::Exited;
    out.code = static_cast<int>(code);
    if (code != 0) out.reason = QStringLiteral("encoder exit code %1").arg(out.code);
  }
  return out;
}
