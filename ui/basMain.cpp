// The program's entry: `quillward [SOURCE [DESTINATION]]`. The splash, then the main
// window with the folders named (else those of the last time). The program ends when
// the main window has closed.

#include "frmEncrypt.h"
#include "frmSplash.h"
#include "look.h"
#include "run/settings/settings_store.h"
#include "start_state.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  ApplyProgramLook(app);
  const StartArgs args = ParseStartArgs(QApplication::arguments().mid(1));
  if (args.help || !args.error.isEmpty()) {
    if (!args.error.isEmpty()) std::fprintf(stderr, "quillward: %s\n", qPrintable(args.error));
    std::fputs(qPrintable(StartUsage()), args.help ? stdout : stderr);
    return args.help ? 0 : 2;
  }
  const std::unique_ptr<SettingsStore> settings = OpenUserSettings(kAppTitle);
  SettingsStore& store = *settings;
  {
    frmSplash splash;
    CenterOnScreen(&splash);
    splash.exec();
  }
  frmEncrypt window(store);
  window.OpenFolders(args.source, args.destination);
  window.ShowWhereLeft();
  return app.exec();
}
