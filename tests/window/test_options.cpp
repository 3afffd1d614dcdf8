// The Options dialog's rules: what it shows from the store, what OK stores, what it
// refuses, and the Tab order of its controls.
#include "check.h"

#include "options_model.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_store.h"

#include <map>

namespace {

// A store that keeps every write, to tell "written" from "not written".
class RecordingStore : public MemorySettingsStore {
public:
  void Write(const std::string& section, const std::string& key, const std::string& value) override {
    writes[key] = value;
    MemorySettingsStore::Write(section, key, value);
  }
  void Set(const std::string& key, const std::string& value) { MemorySettingsStore::Write(kSettingsSection, key, value); }
  std::map<std::string, std::string> writes;
};

}  // namespace

TEST(emptyStoreShowsDefaultsAndOkWritesEveryKey) {
  RecordingStore store;
  DialogModel dialog(store);
  const OptionsValues shown = dialog.Form_Load();
  CHECK_EQ(shown.Combo1, std::string("VBScript"));
  CHECK_EQ(shown.Combo2, std::string("JScript"));  // what a run takes with nothing stored
  CHECK_EQ(shown.txtDefxt, std::string("*.inc"));
  CHECK_EQ(shown.chkASP, 0);
  CHECK_EQ(shown.spnTimeout, 300);
  CHECK_EQ(shown.spnJobs, 0);  // All cores
  CHECK(dialog.OKButton_Click(shown));
  const std::map<std::string, std::string> expected = {
      {"chkASP", "0"},         {"chkHTML", "0"},   {"chkJS", "0"},       {"Check2", "0"},
      {"chkLangDirect", "0"},  {"txtDefxt", "*.inc"}, {"Combo1", "VBScript"}, {"Combo2", "JScript"},
      {"chkChanged", "0"},     {"chkDelete", "0"}, {"chkVerify", "0"},   {"EncoderTimeout", "300"},
      {"Jobs", "0"},           {"txtExclude", ""},
  };
  CHECK_EQ(store.writes.size(), expected.size());
  for (const auto& [key, value] : expected) CHECK_EQ(store.writes[key], value);
}

TEST(storedValuesAsShown) {
  struct Row {
    const char* key;
    const char* stored;
    int OptionsValues::*field;
    int shown;
  };
  const Row rows[] = {
      {"chkASP", "1", &OptionsValues::chkASP, 1},     {"chkASP", "2", &OptionsValues::chkASP, 2},
      {"chkASP", " 2 ", &OptionsValues::chkASP, 2},   {"chkASP", "-1", &OptionsValues::chkASP, 1},
      {"chkASP", "yes", &OptionsValues::chkASP, 0},   {"Check2", "1", &OptionsValues::Check2, 1},
      {"Jobs", "3", &OptionsValues::spnJobs, 3},      {"Jobs", "0", &OptionsValues::spnJobs, 0},
      {"Jobs", "abc", &OptionsValues::spnJobs, 0},    {"Jobs", "500", &OptionsValues::spnJobs, 64},
      {"EncoderTimeout", "abc", &OptionsValues::spnTimeout, 300},
      {"EncoderTimeout", "12", &OptionsValues::spnTimeout, 12},
  };
  for (const Row& r : rows) {
    RecordingStore store;
    store.Set(r.key, r.stored);
    CHECK_EQ(DialogModel(store).Form_Load().*r.field, r.shown);
  }
}

TEST(okKeepsTextsAsTypedAndGreyAsGrey) {
  RecordingStore store;
  store.Set("Combo1", "PerlScript");
  store.Set("chkHTML", "2");
  DialogModel dialog(store);
  OptionsValues v = dialog.Form_Load();
  v.txtDefxt = ".asp.inc .htm";
  CHECK(dialog.OKButton_Click(v));
  CHECK_EQ(store.writes["Combo1"], std::string("PerlScript"));
  CHECK_EQ(store.writes["chkHTML"], std::string("2"));
  CHECK_EQ(store.writes["txtDefxt"], std::string(".asp.inc .htm"));
}

TEST(refusedValuesStoreNothing) {
  struct Row {
    int timeout, jobs, check;
    bool refused;
  };
  const Row rows[] = {
      {0, 0, 0, false},  {-1, 0, 0, true},  {kMaxTimeoutSeconds, 64, 2, false},
      {kMaxTimeoutSeconds + 1, 1, 0, true}, {10, 65, 0, true}, {10, -1, 0, true}, {10, 1, 3, true},
  };
  for (const Row& r : rows) {
    RecordingStore store;
    DialogModel dialog(store);
    OptionsValues v = dialog.Form_Load();
    v.spnTimeout = r.timeout;
    v.spnJobs = r.jobs;
    v.chkVerify = r.check;
    CHECK_EQ(!dialog.Refusal(v).empty(), r.refused);
    CHECK_EQ(dialog.OKButton_Click(v), !r.refused);
    CHECK_EQ(store.writes.empty(), r.refused);
  }
}

TEST(cancelStoresNothing) {
  RecordingStore store;
  DialogModel dialog(store);
  OptionsValues v = dialog.Form_Load();
  v.chkASP = 1;
  dialog.CancelButton_Click();
  CHECK(store.writes.empty());
  CHECK_EQ(DialogModel(store).Form_Load().chkASP, 0);
}

TEST(excludeLinesRoundTripThroughTheRun) {
  struct Row {
    const char* lines;
    const char* stored;
  };
  const Row rows[] = {
      {"*.bak\n.git/", "*.bak .git/"},
      {"my file.txt", "my\\ file.txt"},
      {"  *.tmp  \n\n", "*.tmp"},
      {"a;b", "a\\;b"},
      {"trailing\\", "trailing"},
  };
  for (const Row& r : rows) {
    CHECK_EQ(StoredExcludes(r.lines), std::string(r.stored));
    RecordingStore store;
    store.Set("txtExclude", StoredExcludes(r.lines));
    const RunSettings run = LoadRunSettings(store);
    const std::string shown = ExcludeLines(store.Read(kSettingsSection, "txtExclude", ""));
    CHECK_EQ(StoredExcludes(shown), std::string(r.stored));
    size_t lines = run.SiteExcludes.size();
    CHECK_EQ(lines, size_t(std::count(shown.begin(), shown.end(), '\n') + (shown.empty() ? 0 : 1)));
  }
}

// The Tab order is the screen's: down the dialog, the buttons last; every control that
// takes the focus is in it once.
TEST(tabOrderFollowsTheScreen) {
  std::vector<std::string> order;
  for (const OptionsControl& c : OptionsControls()) {
    if (c.takesFocus) order.push_back(c.name);
  }
  const std::vector<std::string> expected = {"Combo1",  "Combo2",    "chkLangDirect", "chkASP",    "chkJS",
                                             "chkHTML", "Check2",    "txtDefxt",      "chkChanged", "chkDelete",
                                             "chkVerify", "spnTimeout", "spnJobs",     "txtExclude", "OKButton",
                                             "CancelButton"};
  CHECK(order == expected);
  // Within each frame the controls that take the focus go down the screen.
  int lastTop = -1000000;
  std::string lastFrame;
  for (const OptionsControl& c : OptionsControls()) {
    if (!c.takesFocus || c.kind == OptionsKind::Button) continue;
    if (c.frame != lastFrame) lastTop = -1000000;
    CHECK(c.top >= lastTop);
    lastTop = c.top;
    lastFrame = c.frame;
  }
}

TEST(captionsSayDont) {
  for (const OptionsControl& c : OptionsControls()) {
    CHECK(c.caption.find("Dont ") == std::string::npos);
    CHECK(c.caption.find("can not") == std::string::npos);
  }
}
