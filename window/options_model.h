#pragma once
// The Options dialog (Dialog) as rules, apart from any toolkit: what each control shows
// from the stored values, what is refused, what OK stores and that Cancel stores nothing.
// Check boxes, the text box and the combo boxes are stored under their control names;
// the frame "Runs" under the keys the run reads ("EncoderTimeout", "Jobs", "txtExclude").
// A face builds its controls with the names, captions and places of kOptionsControls,
// fills them from Form_Load and hands their values to OKButton_Click.
//
// Rules of the dialog itself: Enter presses OK wherever the focus is (OK is the
// default button), Esc presses Cancel; the Tab order is the order of kOptionsControls
// that take the focus (the screen's, top to bottom, left to right); a combo box takes no
// typed key (its text changes only by a choice from its list).

#include <string>
#include <vector>

class SettingsStore;

struct OptionsValues {
  std::string Combo1;        // any text; "VBScript" when none is stored
  std::string Combo2;        // any text; "JScript" when none is stored, as the run takes it
  int chkLangDirect = 0;     // check boxes: 0 cleared, 1 set, 2 greyed
  int chkASP = 0;
  int chkJS = 0;
  int chkHTML = 0;
  int Check2 = 0;
  std::string txtDefxt;      // as typed; "*.inc" when none is stored
  int chkChanged = 0;
  int chkDelete = 0;
  int chkVerify = 0;
  int spnTimeout = 300;      // seconds, 0 = no limit, as the run takes the stored value
  int spnJobs = 0;           // 1 to kMaxJobs; 0 = "All cores" (stored as 0)
  std::string txtExclude;    // one pattern a line, lines joined by '\n'
};

enum class OptionsKind { Label, Line, Frame, Check, Text, Combo, Spin, Lines, Button };

// One control of the dialog: its name, kind, caption (with "&" before an access letter)
// and place in twips, relative to the dialog's client area or to its frame.
struct OptionsControl {
  std::string name;
  OptionsKind kind;
  std::string caption;
  std::string frame;  // "Frame1", "Frame2" or empty
  int left, top, width, height;
  bool takesFocus;
};
// In Tab order for those that take the focus; labels and frames beside their controls.
const std::vector<OptionsControl>& OptionsControls();
// The client area in twips.
inline constexpr int kOptionsWidthTwips = 6030;
inline constexpr int kOptionsHeightTwips = 7230;
inline const std::string kOptionsTitle = "Options";
inline const std::string kAllCores = "All cores";
inline constexpr int kMaxTimeoutSeconds = 2147483;  // its milliseconds still fit 32 bits

class DialogModel {
public:
  explicit DialogModel(SettingsStore& store) : store_(store) {}

  // What each control shows from the stored values. A stored check-box text "2" greys
  // it, other text the run takes as set sets it, everything else clears it. A timeout
  // or number of files the run would not take is shown as what the run makes of it.
  OptionsValues Form_Load() const;
  // Why OK cannot store `values`, or empty: a time limit or a number of files out of
  // range.
  std::string Refusal(const OptionsValues& values) const;
  // Stores every key, changed or not, and returns true; with a refusal stores nothing
  // and returns false (the face shows Refusal() and keeps the dialog open).
  bool OKButton_Click(const OptionsValues& values);
  // Nothing is stored.
  void CancelButton_Click() {}

private:
  SettingsStore& store_;
};

// The site-wide ignore patterns ("txtExclude"): the stored text as lines for the field
// (each pattern the run reads on a line of its own), and the field's lines as the text
// to store, so the run reads back exactly the lines typed.
std::string ExcludeLines(const std::string& stored);
std::string StoredExcludes(const std::string& lines);
