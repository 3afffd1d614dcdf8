// The main window's rules over real runs on a real folder tree, through a face that
// draws nothing: what each side shows, what Start checks and asks, the one summary,
// Stop, Exit during a run, and the end-of-run notice.
#include "check.h"
#include "fake_face.h"

#include "encrypt_model.h"
#include "folder_paths.h"
#include "run/util/native_path.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_store.h"
#include "window_texts.h"

#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Text(const fs::path& p) { return CleanFolderPath(ToDisplayPath(p)); }

void Write(const fs::path& file, const std::string& content) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

// A model over a site of `files` plain files and `scripts` ASP pages, with a clock that
// moves 100 ms at each look (so every pause lets events in) and one file at a time.
struct Bench {
  explicit Bench(int files = 3, int scripts = 0) {
    for (int i = 0; i < files; ++i) Write(tmp.Path() / "site" / std::string("f").append(std::to_string(i)).append(".txt"), "text");
    for (int i = 0; i < scripts; ++i) Write(tmp.Path() / "site" / std::string("p").append(std::to_string(i)).append(".asp"), "<% x %>");
    store.Write(kSettingsSection, "Jobs", "1");
    model.Form_Load(Text(tmp.Path() / "site"));
    model.SetNoticeAfter(0);
  }
  std::string Site() const { return Text(tmp.Path() / "site"); }
  std::string Out() const { return Text(tmp.Path() / "out"); }

  check::TempDir tmp;
  MemorySettingsStore store;
  FakeFace face;
  long long now = 0;
  frmEncryptModel model{store, face, tmp.Path(), [this] { return now += 100; }};
};

}  // namespace

TEST(firstStartOpensTwoDifferentFolders) {
  Bench b;
  const SideView& source = b.model.View(Side::Source);
  const SideView& destination = b.model.View(Side::Destination);
  CHECK_EQ(source.chosen, b.Site());
  CHECK(destination.chosen != source.chosen);
  CHECK_EQ(destination.chosen, b.Site() + "-encoded");
  CHECK(destination.pending);
  CHECK_EQ(destination.pendingCaption, std::string("site-encoded (will be created)"));
  CHECK_EQ(destination.listed, Text(b.tmp.Path()));
  CHECK_EQ(b.face.sides[Side::Destination].field, destination.chosen);
}

TEST(theListFollowsThePathField) {
  Bench b;
  fs::create_directories(b.tmp.Path() / "out" / "www");
  struct Row {
    std::string typed;
    std::string listed, chosen;
    bool pending;
    std::string caption;
  };
  const std::string out = b.Out();
  const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
  const Row rows[] = {
      {out, out, out, false, ""},
      {out + sep + "www", out + sep + "www", out + sep + "www", false, ""},
      {out + sep + "new", out, out + sep + "new", true, "new (will be created)"},
      {out + sep + "a" + sep + "b", out, out + sep + "a" + sep + "b", true, "a" + sep + "b (will be created)"},
  };
  for (const Row& r : rows) {
    b.model.Path_Change(Side::Destination, r.typed);
    const SideView& v = b.face.sides[Side::Destination];
    CHECK_EQ(v.listed, r.listed);
    CHECK_EQ(v.chosen, r.chosen);
    CHECK_EQ(v.pending, r.pending);
    CHECK_EQ(v.pendingCaption, r.caption);
    CHECK_EQ(v.field, r.typed);  // the field keeps what was typed
  }
  b.model.Path_Change(Side::Source, b.Site() + sep + "nothing");
  CHECK_EQ(b.face.sides[Side::Source].pendingCaption, std::string("nothing (not found)"));
  // A relative path typed letter by letter stays relative to where the typing began,
  // though the list follows it down.
  b.model.Path_Enter(Side::Destination);
  b.model.Path_Change(Side::Destination, out);
  b.model.Path_Enter(Side::Destination);
  for (const std::string& typed : {std::string("w"), std::string("www"), "www" + sep, "www" + sep + "x"}) {
    b.model.Path_Change(Side::Destination, typed);
  }
  CHECK_EQ(b.face.sides[Side::Destination].chosen, out + sep + "www" + sep + "x");
  CHECK_EQ(b.face.sides[Side::Destination].listed, out + sep + "www");
}

TEST(aFolderChosenInTheListIsWhatStartTakes) {
  Bench b;
  fs::create_directories(b.tmp.Path() / "out" / "chosen");
  b.model.Path_Change(Side::Destination, b.Out());
  const std::string chosen = Text(b.tmp.Path() / "out" / "chosen");
  b.model.Dir_Choose(Side::Destination, chosen);  // a click or an arrow key
  CHECK_EQ(b.face.sides[Side::Destination].field, chosen);
  CHECK_EQ(b.face.sides[Side::Destination].listed, b.Out());
  b.face.answers = {1};
  b.model.Command1_Click();
  CHECK(fs::exists(b.tmp.Path() / "out" / "chosen" / "f0.txt"));
  CHECK(!fs::exists(b.tmp.Path() / "out" / "f0.txt"));
}

TEST(runSummaryIsTheSameEverywhere) {
  Bench b(1);
  b.model.Path_Change(Side::Destination, b.Out());
  b.face.away = true;
  b.model.Command1_Click();
  const std::string summary = b.model.LastSummary();
  CHECK(summary.rfind("Done: 1 file, 0 failed, in ", 0) == 0);
  CHECK(!b.face.log.empty() && b.face.log.back().text == summary);
  CHECK(!b.face.log.empty() && b.face.log.back().look == EntryLook::Summary);
  CHECK_EQ(b.face.status, summary);
  CHECK_EQ(b.face.notices.size(), size_t(1));
  CHECK(!b.face.notices.empty() && b.face.notices[0] == "Quillward: run ended|" + summary);
  CHECK_EQ(b.face.progress.value, b.face.progress.maximum);
  CHECK(!b.face.progress.failed);
  CHECK(b.face.controls.start && !b.face.controls.stop && b.face.controls.pickers);
  CHECK_EQ(b.face.focusStart, 1);
  CHECK_EQ(b.face.title, kAppTitle);
  // The destination that was typed now exists: the list shows it, not pending.
  CHECK(!b.face.sides[Side::Destination].pending);
  CHECK_EQ(b.face.sides[Side::Destination].listed, b.Out());
}

TEST(noNoticeWhileTheUserIsAtTheWindow) {
  Bench b(1);
  b.model.Path_Change(Side::Destination, b.Out());
  b.model.Command1_Click();
  CHECK(b.face.notices.empty());
}

TEST(nothingToEncodeAsksFirst) {
  struct Row {
    int answer;  // Options, Copy anyway, Cancel
    bool ran;
    int optionsOpened;
  };
  const Row rows[] = {{0, false, 1}, {1, true, 0}, {2, false, 0}};
  for (const Row& r : rows) {
    Bench b(2, 1);
    b.model.Path_Change(Side::Destination, b.Out());
    b.face.answers = {r.answer};
    b.model.Command1_Click();
    CHECK_EQ(b.face.asked.size(), size_t(1));
    if (b.face.asked.empty()) continue;
    const MessageSpec& q = b.face.asked[0];
    CHECK_EQ(q.text, std::string("Nothing is set to be encoded: 1 script file would be copied as it is."));
    CHECK(q.buttons == std::vector<std::string>({"&Options", "&Copy anyway", "Cancel"}));
    CHECK_EQ(q.title, kEncodeWebsiteTitle);
    CHECK_EQ(fs::exists(b.tmp.Path() / "out" / "p0.asp"), r.ran);
    CHECK_EQ(b.face.optionsOpened, r.optionsOpened);
    if (!r.ran) continue;
    // The warning after the run names the kind in words and stands out, and the summary
    // says it too, in the failure look.
    bool warned = false;
    for (const FakeFace::LogLine& l : b.face.log) {
      if (l.text.find("1 Active Server Page.") != std::string::npos) warned = l.look == EntryLook::Failed;
    }
    CHECK(warned);
    CHECK(b.face.status.find("1 not encoded") != std::string::npos);
    CHECK(b.face.statusLook == StatusLook::Failed);
    CHECK(b.face.progress.failed);
  }
}

TEST(noQuestionWhenAKindIsChosenOrNoScripts) {
  Bench plain(2, 0);
  plain.model.Path_Change(Side::Destination, plain.Out());
  plain.model.Command1_Click();
  CHECK(plain.face.asked.empty());
  CHECK(fs::exists(plain.tmp.Path() / "out" / "f1.txt"));
}

TEST(aRefusedStartClearsTheLogAndSaysWhy) {
  struct Row {
    std::string name;
    std::string expected;
  };
  const Row rows[] = {
      {"same", "Source and Destination Paths cannot be the same!"},
      {"inside", "Destination Path cannot be inside the Source Path!"},
  };
  for (const Row& r : rows) {
    Bench b;
    b.face.log.push_back({"an old run's line", EntryLook::Plain});
    b.model.Path_Change(Side::Destination, r.name == "same" ? b.Site() : b.Site() + "/inner");
    b.model.Command1_Click();
    CHECK_EQ(b.face.log.size(), size_t(1));
    CHECK(!b.face.log.empty() && b.face.log[0].text == r.expected && b.face.log[0].look == EntryLook::Failed);
    CHECK_EQ(b.face.status, r.expected);
    CHECK(b.face.statusLook == StatusLook::Failed);
    CHECK_EQ(b.face.asked.size(), size_t(1));
    CHECK(!b.face.asked.empty() && b.face.asked[0].title == kSourceEncodeTitle);
    CHECK(!fs::exists(b.tmp.Path() / "site" / "inner"));
  }
}

TEST(aMissingSourceIsRefusedWithItsReasonInTheLog) {
  Bench b;
  b.model.Path_Change(Side::Source, b.Site() + "-gone");
  b.model.Path_Change(Side::Destination, b.Out());
  b.model.Command1_Click();
  CHECK_EQ(b.face.asked.size(), size_t(1));
  CHECK_EQ(b.face.log.size(), size_t(1));
  CHECK(!b.face.asked.empty() && !b.face.log.empty() && b.face.log[0].text == b.face.asked[0].text);
  CHECK(!b.face.asked.empty() && b.face.status == b.face.asked[0].text);
  CHECK(!fs::exists(b.tmp.Path() / "out"));
}

TEST(stopSaysSoAtOnceAndDisablesItself) {
  Bench b(5);
  b.model.Path_Change(Side::Destination, b.Out());
  b.face.onPump = [&b] {
    if (b.face.log.size() < 2) return false;  // a file done: the run is past its count
    b.model.Command2_Click();
    CHECK(!b.face.controls.stop);
    CHECK(!b.face.controls.start);
    CHECK(b.face.status.rfind("Stopping after f", 0) == 0);
    CHECK(b.face.status.size() > 3 && b.face.status.substr(b.face.status.size() - 3) == "...");
    return true;
  };
  b.model.Command1_Click();
  CHECK(b.model.LastSummary().rfind("Stopped: ", 0) == 0);
  CHECK(!fs::exists(b.tmp.Path() / "out" / "f4.txt"));
  CHECK(b.face.controls.start);
}

TEST(exitDuringARunAsks) {
  struct Row {
    int answer;  // Yes, No
    bool closed;
    bool completed;
  };
  const Row rows[] = {{0, true, false}, {1, false, true}};
  for (const Row& r : rows) {
    Bench b(5);
    b.model.Path_Change(Side::Destination, b.Out());
    b.face.answers = {r.answer};
    b.face.onPump = [&b] {
      if (b.face.log.size() < 2) return false;
      b.model.mnuFileExit_Click();
      CHECK_EQ(b.face.closed, 0);  // not before the run has returned
      return true;
    };
    b.model.Command1_Click();
    CHECK_EQ(b.face.asked.size(), size_t(1));
    CHECK(!b.face.asked.empty() && b.face.asked[0].text == "Cancel current Action?" &&
          b.face.asked[0].title == kEncodeWebsiteTitle && b.face.asked[0].icon == MessageIcon::Question);
    CHECK_EQ(b.face.closed, r.closed ? 1 : 0);
    CHECK_EQ(fs::exists(b.tmp.Path() / "out" / "f4.txt"), r.completed);
  }
}

TEST(closeDuringARunAsksAndExitWhenIdleDoesNot) {
  Bench b(3);
  b.model.Path_Change(Side::Destination, b.Out());
  bool mayClose = true;
  b.face.onPump = [&] {
    mayClose = b.model.Form_QueryUnload();  // answered No
    return true;
  };
  b.model.Command1_Click();
  CHECK(!mayClose);
  CHECK(fs::exists(b.tmp.Path() / "out" / "f2.txt"));
  CHECK(b.model.Form_QueryUnload());  // idle: no question
  CHECK_EQ(b.face.asked.size(), size_t(1));
  b.model.mnuFileExit_Click();
  CHECK_EQ(b.face.closed, 1);
  CHECK_EQ(b.face.asked.size(), size_t(1));
}

TEST(foldersAndPlaceAreRemembered) {
  Bench b;
  b.model.Path_Change(Side::Destination, b.Out());
  WindowPlace place;
  place.frame = {20, 30, 900, 700};
  b.model.Form_Unload(place);
  FakeFace face;
  frmEncryptModel again(b.store, face, b.tmp.Path());
  again.Form_Load(Text(b.tmp.Path()));
  CHECK_EQ(again.ChosenFolder(Side::Source), b.Site());
  CHECK_EQ(again.ChosenFolder(Side::Destination), b.Out());
  CHECK(face.sides[Side::Destination].pending);
  const WindowPlace at = again.PlaceAtStart({863, 804}, {0, 0, 1024, 668});
  CHECK_EQ(at.least.height, 668);
  CHECK_EQ(at.frame.y, 0);
  CHECK_EQ(at.frame.x, 20);
}

TEST(helpOpensTheReadmeSection) {
  Bench b;
  Write(b.tmp.Path() / "README.md", "# Quillward\n");
  b.model.mnuHelpHelp_Click();
  CHECK_EQ(b.face.opened.size(), size_t(1));
  CHECK(!b.face.opened.empty() && b.face.opened[0].find("README.md#quillward") != std::string::npos);
  CHECK(!b.face.opened.empty() && b.face.opened[0].rfind("file://", 0) == 0);
  fs::remove(b.tmp.Path() / "README.md");
  b.model.SetAppDir(b.tmp.Path() / "site");
  b.model.mnuHelpHelp_Click();
  CHECK_EQ(b.face.asked.size(), size_t(1));
  CHECK(!b.face.asked.empty() && b.face.asked[0].text.find("cannot be found") != std::string::npos);
}

TEST(drivesThatCannotBeReadSaySo) {
  Bench b;
  b.model.Drive_Change(Side::Destination, Text(b.tmp.Path() / "no-such-drive"));
  CHECK_EQ(b.face.asked.size(), size_t(1));
  CHECK(!b.face.asked.empty() && b.face.asked[0].text == "Device Unavailable!" &&
        b.face.asked[0].icon == MessageIcon::Critical && b.face.asked[0].title == kEncodeWebsiteTitle);
  CHECK_EQ(b.model.ChosenFolder(Side::Destination), b.Site() + "-encoded");
}
