// What the configuration window needs from a window system. FConfigure holds
// the logic and calls these; each build supplies one implementation (a real
// dialog on Windows, a terminal form in the Linux host, a recorder in tests).
//
// Captions, tooltips, language names and messages handed to a view are
// UTF-8. The program boxes' texts and the picker's file names are settings
// text, in the settings store's own encoding (the ANSI code page in the
// Windows build, where they go to the registry and to the ANSI file dialog
// unchanged). The view reports what the user does by
// calling FConfigure's event operations (LanguageClicked, OptionClicked, ...),
// after it has changed its own control: FConfigure then does not set that
// control again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bolvarin {

class FConfigure;

// The window and its controls, by the names the window gives them.
enum class Control {
  kWindow,  // the window itself: its caption is the title
  cboLangues,
  chkDefinitif,
  Command2,
  Command1,
  PostSync,
  PreSync,
  chkDefault,
  frmOptions,
  optDoNothing,
  optHHToPC,
  optPCToHH,
  optSync,
  btnCancel,
  btnOk,
  Label2,
  Label1,
};

// The name of a control, as above ("window" for the window).
const char* ControlName(Control control);

// The file picker's properties, as the browse buttons set and read them.
struct FilePickRequest {
  std::string FileName;  // in: the box's text; out: the chosen file, unchanged on cancel
  std::string InitDir;   // the folder the component was loaded from
  std::string Filter;    // "description|pattern" pairs, in the current language
  int32_t flags = 0;
};

class ConfigureView {
 public:
  virtual ~ConfigureView() = default;

  // Creates the window with its controls, not yet shown.
  virtual void Open() = 0;
  // Shows the window and hands the user's actions to `form` until
  // form.IsLoaded() turns false, or until the user closes the window
  // otherwise (which the form then treats as Cancel).
  virtual void RunModal(FConfigure& form) = 0;
  // Destroys the window.
  virtual void Close() = 0;

  // The caption of the window, a button, a label, a check box, an option or
  // the frame.
  virtual void SetCaption(Control control, const std::string& text) = 0;
  virtual void SetToolTip(Control control, const std::string& text) = 0;
  // The text of a text box (PreSync, PostSync).
  virtual void SetText(Control box, const std::string& text) = 0;
  // Ticks or clears a check box (chkDefinitif, chkDefault).
  virtual void SetTicked(Control box, bool ticked) = 0;
  // Clears the four option buttons; selects one (clearing the others).
  virtual void ClearOptions() = 0;
  virtual void SelectOption(Control option) = 0;
  // Replaces the entries of the language list; none is selected.
  virtual void SetLanguages(const std::vector<std::string>& names) = 0;
  // Selects the entry at `index` (0 the first), without raising any event.
  virtual void SelectLanguage(int index) = 0;
  // The save-style file picker: sets request.FileName when the user chose
  // a file and leaves it when the user cancelled.
  virtual void ShowSave(FilePickRequest& request) = 0;
  // Tells the user something (the window stays as it is).
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace bolvarin
