#include "run_settings.h"

bool SettingIsSet(const QString& stored) {
  bool isNumber = false;
  const double value = stored.trimmed().toDouble(&isNumber);
  return isNumber && value != 0.0;
}

RunSettings LoadRunSettings(const SettingsStore& store) {
  const auto read = [&store](const char* key, const QString& def) {
    return store.Read(kSettingsSection, QString::fromLatin1(key), def);
  };
  const QString zero = QStringLiteral("0");

  RunSettings s;
  s.EncodeAsp = SettingIsSet(read("chkASP", zero));
  s.EncodeHtml = SettingIsSet(read("chkHTML", zero));
  s.EncodeJs = SettingIsSet(read("chkJS", zero));
  s.EncodeVbs = SettingIsSet(read("check2", zero));
  s.AspLanguage = read("Combo1", QStringLiteral("VBScript"));
  s.HtmlLanguage = read("Combo2", QStringLiteral("JScript"));
  s.AspExtensions = read("txtDefxt", QStringLiteral("*.inc"));
  // The box reads "Dont add the '@language' directive": set means the /xl switch.
  s.AspSwitch = SettingIsSet(read("chkLangDirect", zero)) ? QStringLiteral(" /xl ") : QString();
  bool isNumber = false;
  const int timeout = read("EncoderTimeout", QStringLiteral("300")).trimmed().toInt(&isNumber);
  s.TimeoutSeconds = isNumber && timeout >= 0 ? timeout : 300;
  return s;
}
