// FConfigure: the configuration window's logic, free of any window system.
//
// The window lets the user choose the action of the next run, the programs
// started before and after a run, whether older desktop files are deleted
// for good, and the language. The action goes back to the caller through the
// public fields below; the rest is stored in the settings when the user
// presses OK. Everything shown goes through a ConfigureView.
//
// One window object serves the whole process (FConfigureWindow); each
// ShowModal loads it afresh, and its fields outlive the showing so that the
// caller can read them afterwards.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/configure_view.h"
#include "config/texts.h"

namespace bolvarin {

// What the window title and the file picker need to know of the component.
struct ModuleInfo {
  std::string name;     // file name without extension
  std::string comment;  // the version record's comment, e.g. "Version "
  int major = 0, minor = 0, revision = 0;
  std::string folder;  // the folder it was loaded from
};

// The browse buttons' picker flags: hide read-only, path and file must exist.
inline constexpr int32_t kBrowseFlags = 6148;

class FConfigure {
 public:
  FConfigure(std::unique_ptr<ConfigureView> view, ModuleInfo module,
             StringTable texts = BuiltInTexts());

  // Set by the caller before showing, read after.
  std::string pPath;      // stored, not used by the window
  std::string pRegistry;  // stored, not used: the window uses the fixed settings key
  int32_t nSyncType = 0;  // in: the current action; out: the chosen one
  int32_t nSyncPref = 0;  // 2 after opening, 1 after OK
  bool bCancel = false;   // true after opening, false after OK

  // Loads the window, shows it and returns when it is unloaded.
  void ShowModal();
  bool IsLoaded() const { return loaded_; }

  // The user's actions, reported by the view. Each stops at a step that
  // fails, leaving what was done so far.
  void LanguageClicked(int index);
  void OptionClicked(Control option);
  void TextEdited(Control box, const std::string& text);
  void BoxTicked(Control box, bool ticked);
  void BrowseClicked(Control button);  // Command1 (PreSync) or Command2 (PostSync)
  // Stores the settings and unloads the window; when the store refuses a
  // change, tells the user and stays loaded so that Cancel is still possible.
  void OkClicked();
  void CancelClicked();

  // The title as ApplyTexts builds it for the current language.
  std::string Title() const;
  // Sets every localised text from LangOffset, in a fixed order; raises
  // kTextNotFound at the first text missing, leaving the later ones as they were.
  void ApplyTexts();

  // What the form currently holds (for views that draw from it, and tests).
  const std::vector<std::string>& Languages() const { return languages_; }
  int SelectedLanguage() const { return selectedLanguage_; }  // -1: none
  Control SelectedOption() const { return option_; }          // kWindow: none
  const std::string& PreSyncText() const { return preSync_; }
  const std::string& PostSyncText() const { return postSync_; }
  bool DefinitifTicked() const { return definitif_; }
  ConfigureView& view() { return *view_; }
  const StringTable& texts() const { return texts_; }

 private:
  // Runs a handler's steps: the first that fails ends the handler, and the
  // view shows the user the failure's description.
  void TryAndTell(const std::function<void()>& steps);
  void Load();
  void Unload();
  void BuildLanguageList();
  void ChooseLanguage();
  void SwitchLanguage(int index);
  std::string Text(int frenchId) const;
  void SetBox(Control box, const std::string& text);

  std::unique_ptr<ConfigureView> view_;
  ModuleInfo module_;
  StringTable texts_;
  bool loaded_ = false;

  std::vector<std::string> languages_;
  std::vector<int> languageIds_;  // item data: the id of each entry's name
  int selectedLanguage_ = -1;
  Control option_ = Control::kWindow;
  std::string preSync_, postSync_;
  bool definitif_ = false;
  bool default_ = false;
};

// The process-wide window, created on first use by the build's factory.
using FConfigureFactory = std::function<std::unique_ptr<FConfigure>()>;
// Installs the factory and drops any window made by an earlier one.
void SetFConfigureFactory(FConfigureFactory factory);
// The window; raises ConduitError when the build installed no factory.
FConfigure& FConfigureWindow();

}  // namespace bolvarin
