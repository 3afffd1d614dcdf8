#include "encrypt_model.h"

#include "run/encode_run.h"
#include "folder_paths.h"
#include "help_location.h"
#include "run/util/native_path.h"
#include "start_checks.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_keys.h"
#include "run/settings/settings_store.h"
#include "window_texts.h"

#include <chrono>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const std::string kLastSourceKey = setting_keys::kLastSource;
const std::string kLastDestinationKey = setting_keys::kLastDestination;

long long SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool IsSummaryEntry(const std::string& entry) {
  return entry.rfind("Done: ", 0) == 0 || entry.rfind("Stopped: ", 0) == 0;
}

// `folder` below `base` as a relative path ("a" or "a/b"), or the whole folder.
std::string BelowFolder(const std::string& folder, const std::string& base) {
  const std::string prefix = WithTrailingSeparator(base);
  return folder.rfind(prefix, 0) == 0 ? folder.substr(prefix.size()) : folder;
}

MessageSpec Message(const std::string& text, MessageIcon icon, const std::string& title) {
  MessageSpec m;
  m.text = SaidRight(text);
  m.icon = icon;
  m.title = title;
  return m;
}

}  // namespace

struct frmEncryptModel::SideState {
  SideView view;
  // What a relative path typed is relative to: the folder listed before the typing began,
  // not the one the list follows to while it goes on.
  std::string base;
};

frmEncryptModel::frmEncryptModel(SettingsStore& store, EncryptFace& face, fs::path appDir,
                                 std::function<long long()> clock)
    : store_(store), face_(face), appDir_(std::move(appDir)), clock_(clock ? std::move(clock) : SteadyMs) {
  sides_[0] = new SideState;
  sides_[1] = new SideState;
}

frmEncryptModel::~frmEncryptModel() {
  delete sides_[0];
  delete sides_[1];
}

frmEncryptModel::SideState& frmEncryptModel::SideOf(Side side) { return *sides_[side == Side::Source ? 0 : 1]; }
const frmEncryptModel::SideState& frmEncryptModel::SideOf(Side side) const {
  return *sides_[side == Side::Source ? 0 : 1];
}
const SideView& frmEncryptModel::View(Side side) const { return SideOf(side).view; }
std::string frmEncryptModel::ChosenFolder(Side side) const { return SideOf(side).view.chosen; }

void frmEncryptModel::Publish(Side side) { face_.ShowSide(side, SideOf(side).view); }

// The side takes the folder `text` names: listed and chosen when it exists; else chosen
// and shown under the nearest folder that does. `clean` puts the folder's clean form in
// the field; else the field keeps the text as typed.
void frmEncryptModel::OpenTyped(Side side, const std::string& text, bool clean) {
  SideState& state = SideOf(side);
  SideView& view = state.view;
  if (state.base.empty()) state.base = view.listed.empty() ? CleanFolderPath(fs::current_path().string()) : view.listed;
  const std::string folder = TypedFolder(text, state.base, HomeFolder());
  view.pending = false;
  view.pendingCaption.clear();
  if (folder.empty()) {
    view.chosen = view.listed;
    view.field = clean ? view.listed : text;
  } else if (CheckFolder(folder) == FolderAccess::Ok) {
    view.listed = view.chosen = folder;
    view.field = clean ? folder : text;
  } else {
    const std::string above = NearestFolder(ParentFolder(folder), view.listed);
    view.listed = above;
    view.chosen = folder;
    view.pending = true;
    const bool there = CheckFolder(folder) == FolderAccess::Denied;
    view.pendingCaption = BelowFolder(folder, above) + (there                     ? " (cannot be opened)"
                                                        : side == Side::Destination ? " (will be created)"
                                                                                    : " (not found)");
    view.field = clean ? folder : text;
  }
  view.drive = VolumeRootOf(view.listed);
  if (clean) state.base = view.listed;
  Publish(side);
  // Entered (or given): the status line says what becomes of a folder not there.
  if (clean && !state_.Busy) {
    face_.ShowStatus(!view.pending                  ? std::string()
                     : side == Side::Destination    ? "Will be created when Start is pressed: " + view.chosen
                                                    : "No such folder: " + view.chosen,
                     StatusLook::Plain);
  }
}

void frmEncryptModel::Form_Load(const std::string& currentDir) {
  const std::string current = CleanFolderPath(currentDir);
  const std::string source = store_.Read(kSettingsSection, kLastSourceKey, "");
  const std::string destination = store_.Read(kSettingsSection, kLastDestinationKey, "");
  SideOf(Side::Source).view.listed = current;
  SideOf(Side::Destination).view.listed = current;
  OpenTyped(Side::Source, source.empty() ? current : NearestFolder(source, current), true);
  if (!destination.empty()) {
    OpenTyped(Side::Destination, destination, true);
  } else {
    // Beside the source, named after it: never the source itself.
    const std::string from = ChosenFolder(Side::Source);
    const std::string name = FolderName(from) == from ? std::string("site") : FolderName(from);
    OpenTyped(Side::Destination, ToDisplayPath(ToNativePath(ParentFolder(from)) / ToNativePath(name + "-encoded")), true);
  }
  ShowControls(false);
  face_.ShowTitle(kAppTitle);
}

void frmEncryptModel::OpenFolders(const std::string& source, const std::string& destination,
                                  const std::string& currentDir) {
  for (const auto& [text, side] : {std::pair{source, Side::Source}, std::pair{destination, Side::Destination}}) {
    std::string folder = TypedFolder(text, CleanFolderPath(currentDir), HomeFolder());
    if (folder.empty()) continue;
    std::error_code ec;
    if (fs::is_regular_file(ToNativePath(folder), ec)) folder = ParentFolder(folder);  // "Open with" a file
    OpenTyped(side, folder, true);
  }
}

void frmEncryptModel::Drive_Change(Side side, const std::string& root) {
  if (state_.Busy) return;
  if (CheckFolder(root) != FolderAccess::Ok) {
    face_.Ask(Message(kDeviceUnavailable, MessageIcon::Critical, kEncodeWebsiteTitle));
    return;
  }
  OpenTyped(side, root, true);
}

void frmEncryptModel::Path_Change(Side side, const std::string& text) {
  if (state_.Busy) return;
  OpenTyped(side, text, false);
}

void frmEncryptModel::Path_Enter(Side side) {
  if (state_.Busy) return;
  OpenTyped(side, SideOf(side).view.field, true);
}

void frmEncryptModel::Dir_Choose(Side side, const std::string& folder) {
  if (state_.Busy || folder.empty()) return;
  SideView& view = SideOf(side).view;
  if (view.pending && folder == view.chosen) return;
  view.chosen = CleanFolderPath(folder);
  view.field = view.chosen;
  view.pending = false;
  view.pendingCaption.clear();
  SideOf(side).base = view.listed;
  Publish(side);
}

void frmEncryptModel::Dir_Open(Side side, const std::string& folder) {
  if (state_.Busy || folder.empty()) return;
  if (CheckFolder(folder) != FolderAccess::Ok) {
    face_.Ask(Message("The folder " + folder + " cannot be opened.", MessageIcon::Warning, kEncodeWebsiteTitle));
    return;
  }
  OpenTyped(side, folder, true);
}

bool frmEncryptModel::AcceptsDrop() const { return !state_.Busy; }

bool frmEncryptModel::Drop(Side side, const std::string& path) {
  if (state_.Busy || path.empty()) return false;
  std::string folder = CleanFolderPath(path);
  std::error_code ec;
  const fs::path native = ToNativePath(folder);
  if (!fs::exists(native, ec)) return false;
  if (!fs::is_directory(native, ec)) folder = ParentFolder(folder);
  OpenTyped(side, folder, true);
  return true;
}

// What Start takes: the chosen folders. While Start's checks and the run are under way
// these are fixed (the pickers are disabled).
fs::path frmEncryptModel::SourcePath() { return ToNativePath(ChosenFolder(Side::Source)); }
fs::path frmEncryptModel::DestinationPath() { return ToNativePath(ChosenFolder(Side::Destination)); }

void frmEncryptModel::ShowControls(bool running) {
  ControlsView view;
  view.start = !running;
  view.pickers = !running;
  view.stop = running && !stopping_ && stopEnabled_;
  face_.ShowControls(view);
}

void frmEncryptModel::SetStopEnabled(bool enabled) {
  stopEnabled_ = enabled;
  ShowControls(state_.Busy || enabled);
}

void frmEncryptModel::Refuse(const std::string& reason) {
  face_.AppendLog(reason, EntryLook::Failed);
  face_.FlushLog();
  face_.ShowStatus(reason, StatusLook::Failed);
}

// Start's own checks, before the run's: the two folders apart, a destination that can be
// written, and a question when nothing is set to be encoded but the source holds scripts.
bool frmEncryptModel::CheckBeforeRun() {
  const std::string source = ChosenFolder(Side::Source);
  const std::string destination = ChosenFolder(Side::Destination);
  if (source.empty() || destination.empty()) return true;  // the run says what is missing
  if (CheckFolder(source) == FolderAccess::Ok) {
    std::string apart;
    switch (RelatePaths(ToNativePath(source), ToNativePath(destination))) {
      case PathRelation::Same: apart = kSamePathsMessage; break;
      case PathRelation::SecondInsideFirst: apart = kDestInsideSourceMessage; break;
      case PathRelation::FirstInsideSecond: apart = kSourceInsideDestMessage; break;
      case PathRelation::Apart: break;
    }
    if (!apart.empty()) {
      apart = SaidRight(apart);
      Refuse(apart);
      face_.Ask(Message(apart, MessageIcon::Warning, kSourceEncodeTitle));
      return false;
    }
  }
  if (const std::string problem = DestinationWriteProblem(destination); !problem.empty()) {
    const std::string text = "The destination " + destination + " cannot be written: " + problem;
    Refuse(text);
    face_.Ask(Message(text, MessageIcon::Warning, kSourceEncodeTitle));
    return false;
  }
  const RunSettings settings = LoadRunSettings(store_);
  if (settings.EncodeAsp || settings.EncodeHtml || settings.EncodeJs || settings.EncodeVbs) return true;
  const long long scripts = ScriptFilesIn(source, settings);
  if (scripts == 0) return true;
  const int answer = face_.Ask(NothingToEncodeQuestion(scripts));
  if (answer == 1) return true;
  if (answer == 0) {
    face_.ShowStatus("Nothing was copied: choose the kinds to encode, then press Start.", StatusLook::Plain);
    face_.OpenOptions();
  } else {
    face_.ShowStatus("Nothing was copied.", StatusLook::Plain);
  }
  return false;
}

void frmEncryptModel::Command1_Click() {
  if (state_.Busy || closing_) return;
  store_.Write(kSettingsSection, kLastSourceKey, ChosenFolder(Side::Source));
  store_.Write(kSettingsSection, kLastDestinationKey, ChosenFolder(Side::Destination));
  face_.ClearLog();
  face_.ShowStatus("", StatusLook::Plain);
  face_.ShowProgress(ProgressView{});
  lastSummary_.clear();
  heldSummary_.clear();
  refusal_.clear();
  currentFile_.clear();
  stopping_ = false;
  if (!CheckBeforeRun()) {
    face_.FocusStart();
    return;
  }
  progress_.Start(clock_());
  lastFrameMs_ = lastEventsMs_ = -1;
  stopEnabled_ = true;
  ShowControls(true);
  const RunOutcome outcome = RunEncoding(*this, store_);
  ShowFrame(true);
  stopping_ = false;
  stopEnabled_ = false;
  ShowControls(false);
  face_.ShowTitle(kAppTitle);
  // A destination that was to be created is there now: the list opens it.
  SideView& destination = SideOf(Side::Destination).view;
  if (destination.pending && CheckFolder(destination.chosen) == FolderAccess::Ok) {
    OpenTyped(Side::Destination, destination.chosen, true);
  }
  EndOfRun(outcome);
  if (closing_) {
    face_.CloseWindow();
    return;
  }
  face_.FocusStart();
}

// The one summary goes to the log (in place of the run's own last line), the status line
// and, after a long run while the user is elsewhere, the desktop.
void frmEncryptModel::EndOfRun(const RunOutcome& outcome) {
  const long long elapsed = progress_.ElapsedMs(clock_());
  if (outcome.status == RunOutcome::Status::Refused) {
    face_.ClearLog();
    Refuse(refusal_.empty() ? std::string("The run was refused.") : refusal_);
    face_.ShowProgress(ProgressView{});
    return;
  }
  const std::string summary = RunSummaryText(outcome, elapsed);
  if (summary.empty()) return;
  const bool bad = RunEndedBadly(outcome);
  face_.AppendLog(heldSummary_.empty() ? summary : summary, bad ? EntryLook::FailedSummary : EntryLook::Summary);
  heldSummary_.clear();
  face_.FlushLog();
  ProgressView bar;
  if (progress_.Known() && progress_.Total() > 0) {
    bar.visible = true;
    bar.maximum = progress_.Total();
    bar.value = outcome.status == RunOutcome::Status::Completed ? bar.maximum
                                                                 : std::min(FilesAccountedFor(outcome), bar.maximum);
    bar.text = GroupedNumber(bar.value) + " of " + Counted(bar.maximum, "file");
    bar.failed = bad;
  }
  face_.ShowProgress(bar);
  face_.ShowStatus(summary, bad ? StatusLook::Failed : StatusLook::Plain);
  lastSummary_ = summary;
  if (elapsed >= noticeAfterMs_ && !closing_ && face_.UserIsAway()) {
    face_.Notify(kAppTitle + ": run ended", summary);
  }
}

void frmEncryptModel::Command2_Click() {
  if (!state_.Busy || stopping_) return;
  RequestStop(*this);
  stopping_ = true;
  ShowControls(true);
  face_.ShowStatus(currentFile_.empty() ? std::string("Stopping...")
                                         : "Stopping after " + FolderName(currentFile_) + "...",
                   StatusLook::Plain);
}

void frmEncryptModel::mnuFileOpt_Click() { face_.OpenOptions(); }
void frmEncryptModel::mnuHelpAbout_Click() { face_.OpenAbout(); }

void frmEncryptModel::mnuHelpHelp_Click() {
  const std::string url = HelpUrl(appDir_);
  if (!url.empty() && face_.OpenDocument(url)) return;
  face_.Ask(Message(url.empty() ? "The help (README.md) cannot be found beside the program."
                                : "No viewer could be started for the help: " + url,
                    MessageIcon::Information, kEncodeWebsiteTitle));
}

// The question holds the run until it is answered; the status line says so meanwhile.
bool frmEncryptModel::AskToCancel() {
  face_.ShowStatus(kPausedForQuestion, StatusLook::Plain);
  MessageSpec question = Message(kCancelQuestion, MessageIcon::Question, kEncodeWebsiteTitle);
  question.buttons = {"&Yes", "&No"};
  question.defaultButton = 0;
  question.cancel = 1;
  const bool yes = face_.Ask(question) == 0;
  face_.ShowStatus(stopping_ ? "Stopping..." : progress_.TimeLeftText(clock_()), StatusLook::Plain);
  return yes;
}

void frmEncryptModel::mnuFileExit_Click() {
  if (closing_) return;
  if (state_.Busy) {
    if (!AskToCancel()) return;
    closing_ = true;
    RequestStop(*this);
    return;  // the window closes when the run has returned (Command1_Click)
  }
  closing_ = true;
  face_.CloseWindow();
}

bool frmEncryptModel::Form_QueryUnload() {
  if (!state_.Busy || closing_) return true;
  if (!AskToCancel()) return false;
  closing_ = true;
  RequestStop(*this);
  return true;
}

void frmEncryptModel::Form_Unload(const WindowPlace& place) {
  store_.Write(kSettingsSection, kLastSourceKey, ChosenFolder(Side::Source));
  store_.Write(kSettingsSection, kLastDestinationKey, ChosenFolder(Side::Destination));
  store_.Write(kSettingsSection, kWindowPlaceKey, PlaceText(place));
}

WindowPlace frmEncryptModel::PlaceAtStart(PixelSize least, PixelRect available) const {
  WindowPlace place;
  place.least = LeastSize(least, available);
  if (const auto stored = ParsePlace(store_.Read(kSettingsSection, kWindowPlaceKey, ""))) {
    place.frame = OnScreen(stored->frame, place.least, available);
    place.maximized = stored->maximized;
  } else {
    place.frame = FirstPlace(place.least, available);
  }
  return place;
}

void frmEncryptModel::ClearLog() {
  heldSummary_.clear();
  face_.ClearLog();
}

// The run's summary line is held back: the model's own summary takes its place at the
// end. The left-plain warning is rewritten in words and stands out.
void frmEncryptModel::AppendLog(const std::string& entry) {
  if (!heldSummary_.empty()) {
    face_.AppendLog(heldSummary_, EntryLook::Summary);
    heldSummary_.clear();
  }
  if (state_.Busy && IsSummaryEntry(entry)) {
    heldSummary_ = entry;
    return;
  }
  if (IsLeftPlainWarning(entry)) {
    face_.AppendLog(LeftPlainInWords(entry), EntryLook::Failed);
    return;
  }
  face_.AppendLog(WithFileNames(entry), EntryLook::Plain);
}

void frmEncryptModel::MarkLastFailed() { face_.MarkLastFailed(); }
void frmEncryptModel::RepaintLog() { ShowFrame(false); }

// The log follows its end by itself, and no focus moves: a button half-pressed while
// files go by stays pressed.
void frmEncryptModel::ScrollText(std::int16_t) {}

void frmEncryptModel::ShowMessage(const std::string& text, MessageIcon icon, const std::string& title) {
  ShowFrame(true);
  if (title == kRefusedTitle) refusal_ = SaidRight(text);
  face_.Ask(Message(text, icon, title));
}

// Events are let in at most every few milliseconds: a run of small files calls this a
// thousand times a second, and a person's click or key waits 10 ms at most.
void frmEncryptModel::ProcessEvents() {
  ShowFrame(false);
  const long long now = clock_();
  if (lastEventsMs_ >= 0 && now - lastEventsMs_ < kEventsEveryMs) return;
  lastEventsMs_ = now;
  face_.PumpEvents();
}

void frmEncryptModel::ShowProgress(long long done, long long total) {
  progress_.Update(done, total, clock_());
  ShowFrame(false);
}

void frmEncryptModel::FileBegun(const std::string& path) { currentFile_ = path; }

// What the run reported since the last frame: the log's new lines, the count, the share
// done in the title, the time left.
void frmEncryptModel::ShowFrame(bool now) {
  const long long at = clock_();
  if (!now && lastFrameMs_ >= 0 && at - lastFrameMs_ < kFrameMs) return;
  lastFrameMs_ = at;
  face_.FlushLog();
  if (!progress_.Known()) return;
  ProgressView bar;
  bar.visible = true;
  bar.busy = progress_.Counting();
  bar.value = progress_.Done();
  bar.maximum = progress_.Total();
  bar.text = progress_.CountText();
  face_.ShowProgress(bar);
  if (state_.Busy) {
    face_.ShowTitle(progress_.Counting() ? kAppTitle : RunTitle(progress_.Percent()));
    if (!stopping_) face_.ShowStatus(progress_.TimeLeftText(at), StatusLook::Plain);
  }
}
