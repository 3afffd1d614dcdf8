// The window's run, for the benchmark: opens the main window on SOURCE and DESTINATION,
// presses Start and ends when the run has. The settings are the given ones only (the
// user's stored settings are neither read nor written); message boxes go to stderr.
//
//   quillward-window-bench [--encoder-dir DIR] [--set KEY=VALUE]... SOURCE DESTINATION
//
// Prints one line: "run S s, own cpu C s, <status line>". Exit status 0 when every file
// was done, 1 when some failed, 2 on bad arguments or a refused run.

#include "controls.h"
#include "frmEncrypt.h"
#include "look.h"
#include "message_box.h"
#include "run_text.h"
#include "run/settings/settings_store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <cstdio>
#include <sys/resource.h>

namespace {

double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int Usage() {
  std::fputs("usage: quillward-window-bench [--encoder-dir DIR] [--set KEY=VALUE]... SOURCE DESTINATION\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  ApplyProgramLook(app);
  MessageBox::SetTestMode(true);
  MemorySettingsStore store;
  QString encoderDir, source, destination;
  const QStringList args = QApplication::arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--encoder-dir") && i + 1 < args.size()) {
      encoderDir = args[++i];
    } else if (args[i] == QLatin1String("--set") && i + 1 < args.size()) {
      const QString pair = args[++i];
      WriteSetting(store, pair.section(u'=', 0, 0), pair.section(u'=', 1));
    } else if (source.isEmpty()) {
      source = args[i];
    } else if (destination.isEmpty()) {
      destination = args[i];
    } else {
      return Usage();
    }
  }
  if (destination.isEmpty()) return Usage();

  frmEncrypt window(store);
  if (!encoderDir.isEmpty()) window.SetAppDir(encoderDir);
  window.OpenFolders(source, destination);
  window.ShowWhereLeft();
  if (!QTest::qWaitForWindowExposed(&window)) {
    std::fputs("quillward-window-bench: the window was never shown\n", stderr);
    return 2;
  }
  const double cpuBefore = OwnCpuSeconds();
  QElapsedTimer clock;
  clock.start();
  window.Command1->click();
  const double seconds = clock.elapsed() / 1000.0;
  const double cpu = OwnCpuSeconds() - cpuBefore;
  for (const ShownMessage& m : MessageBox::TakeShown()) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
  }
  const QString status = window.lblStatus->text();
  std::printf("run %.3f s, own cpu %.3f s, %s\n", seconds, cpu, qPrintable(status));
  if (status.startsWith(QLatin1String("Done: ")) && status.contains(QLatin1String(" 0 failed"))) return 0;
  return status.isEmpty() ? 2 : 1;
}
