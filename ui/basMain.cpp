// The program's entry: the splash, then the main window. The program ends when the
// main window has closed.

#include "frmEncrypt.h"
#include "frmSplash.h"
#include "look.h"
#include "settings_store.h"

#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  ApplyProgramLook(app);
  const std::unique_ptr<SettingsStore> settings = OpenUserSettings(kAppTitle.toStdString());
  SettingsStore& store = *settings;
  {
    frmSplash splash;
    CenterOnScreen(&splash);
    splash.exec();
  }
  frmEncrypt window(store);
  CenterOnScreen(&window);
  window.show();
  return app.exec();
}
