// The configuration window's logic. The opening steps each run even when an
// earlier one failed (a missing text or setting must not keep the window
// from opening); the user's actions stop at their first failing step.
#include "config/fconfigure.h"

#include <charconv>
#include <cstdint>
#include <exception>
#include <limits>
#include <optional>

#include "base/error.h"
#include "base/sync_type.h"
#include "base/text.h"
#include "config/settings.h"

namespace bolvarin {

namespace {

// Runs one step; a failure skips it and lets the caller go on.
template <typename Step>
void Try(Step&& step) {
  try {
    step();
  } catch (const std::exception&) {
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The stored "langue" as a number: blanks around it are allowed, and a sign,
// a fraction and an exponent; anything else (the empty text included) is no
// number at all.
std::optional<double> StoredNumber(const std::string& stored) {
  std::string text = TrimBlanks(stored);
  size_t start = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (start >= text.size() || !(IsDigit(text[start]) || text[start] == '.')) return std::nullopt;
  if (text[0] == '+') text.erase(0, 1);
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

bool IsOption(Control c) {
  return c == Control::optSync || c == Control::optPCToHH || c == Control::optHHToPC ||
         c == Control::optDoNothing;
}

// The settings that OK stores, in the order it stores them.
constexpr const char* kStoredNames[] = {"presync", "postsync", "definitif", "langue"};

}  // namespace

const char* ControlName(Control control) {
  switch (control) {
    case Control::kWindow:
      return "window";
    case Control::cboLangues:
      return "cboLangues";
    case Control::chkDefinitif:
      return "chkDefinitif";
    case Control::Command2:
      return "Command2";
    case Control::Command1:
      return "Command1";
    case Control::PostSync:
      return "PostSync";
    case Control::PreSync:
      return "PreSync";
    case Control::chkDefault:
      return "chkDefault";
    case Control::frmOptions:
      return "frmOptions";
    case Control::optDoNothing:
      return "optDoNothing";
    case Control::optHHToPC:
      return "optHHToPC";
    case Control::optPCToHH:
      return "optPCToHH";
    case Control::optSync:
      return "optSync";
    case Control::btnCancel:
      return "btnCancel";
    case Control::btnOk:
      return "btnOk";
    case Control::Label2:
      return "Label2";
    case Control::Label1:
      return "Label1";
  }
  return "?";
}

FConfigure::FConfigure(std::unique_ptr<ConfigureView> view, ModuleInfo module, StringTable texts)
    : view_(std::move(view)), module_(std::move(module)), texts_(std::move(texts)) {}

void FConfigure::ShowModal() {
  view_->Open();
  Load();
  try {
    view_->RunModal(*this);
  } catch (...) {
    Try([&] { Unload(); });
    throw;
  }
  // Closed without OK or Cancel (the system's close command, the end of the
  // user's input): the same as Cancel.
  if (loaded_) Unload();
}

void FConfigure::Load() {
  loaded_ = true;
  Try([&] { BuildLanguageList(); });
  Try([&] { ChooseLanguage(); });
  Try([&] { ApplyTexts(); });
  Try([&] {
    option_ = Control::kWindow;
    view_->ClearOptions();
    const SyncType current{nSyncType};
    option_ = current == SyncType::kHandheldToPc   ? Control::optHHToPC
              : current == SyncType::kPcToHandheld ? Control::optPCToHH
              : current == SyncType::kDoNothing    ? Control::optDoNothing
                                                   : Control::optSync;
    view_->SelectOption(option_);
  });
  nSyncPref = 2;
  Try([&] {
    default_ = false;
    view_->SetTicked(Control::chkDefault, false);
  });
  bCancel = true;
  Try([&] { SetBox(Control::PreSync, GetRegValue(kSettingsKey, "presync")); });
  Try([&] { SetBox(Control::PostSync, GetRegValue(kSettingsKey, "postsync")); });
  Try([&] {
    definitif_ = UpperAscii(GetRegValue(kSettingsKey, "definitif")) == "OUI";
    view_->SetTicked(Control::chkDefinitif, definitif_);
  });
}

void FConfigure::Unload() {
  loaded_ = false;
  view_->Close();
}

void FConfigure::BuildLanguageList() {
  languages_.clear();
  languageIds_.clear();
  selectedLanguage_ = -1;
  // Each language block holds its name at id 4 + offset; the first block
  // without one ends the list. Offsets are 16-bit, which bounds the search.
  for (int id = text_id::kLanguageName; id - text_id::kLanguageName <= INT16_MAX; id += 100) {
    std::optional<std::string> name = texts_.Find(id);
    if (!name) break;
    languages_.push_back(*name);
    languageIds_.push_back(id);
  }
  view_->SetLanguages(languages_);
}

void FConfigure::ChooseLanguage() {
  const std::optional<double> stored = StoredNumber(GetRegValue(kSettingsKey, "langue"));
  for (size_t i = 0; i < languageIds_.size(); ++i) {
    const int offset = languageIds_[i] - text_id::kLanguageName;
    // A text that is no number cannot be compared, and that failed test
    // selects the first entry; a number that matches no entry selects none
    // and leaves LangOffset as it is.
    if (stored && *stored != offset) continue;
    Try([&] {
      view_->SelectLanguage(static_cast<int>(i));
      SwitchLanguage(static_cast<int>(i));
    });
    if (stored) LangOffset = static_cast<int16_t>(offset);
    return;
  }
}

void FConfigure::SwitchLanguage(int index) {
  selectedLanguage_ = index;
  LangOffset =
      static_cast<int16_t>(languageIds_.at(static_cast<size_t>(index)) - text_id::kLanguageName);
  ApplyTexts();
}

std::string FConfigure::Text(int frenchId) const { return texts_.Load(frenchId + LangOffset); }

std::string FConfigure::Title() const {
  return module_.name + " " + Text(text_id::kTitleWord) + " " + module_.comment + " " +
         std::to_string(module_.major) + "." + std::to_string(module_.minor) + "." +
         std::to_string(module_.revision);
}

void FConfigure::ApplyTexts() {
  view_->SetCaption(Control::kWindow, Title());
  view_->SetCaption(Control::frmOptions, Text(text_id::kActionFrame));
  view_->SetCaption(Control::chkDefault, Text(text_id::kLanguageName));
  view_->SetCaption(Control::optSync, Text(text_id::kSync));
  view_->SetCaption(Control::optPCToHH, Text(text_id::kPcToHh));
  view_->SetCaption(Control::optHHToPC, Text(text_id::kHhToPc));
  view_->SetCaption(Control::optDoNothing, Text(text_id::kDoNothing));
  view_->SetCaption(Control::Label1, Text(text_id::kPreSyncLabel));
  view_->SetCaption(Control::Label2, Text(text_id::kPostSyncLabel));
  view_->SetCaption(Control::chkDefinitif, Text(text_id::kDeleteOlder));
  view_->SetCaption(Control::btnOk, Text(text_id::kOk));
  view_->SetCaption(Control::btnCancel, Text(text_id::kCancel));
  view_->SetToolTip(Control::Command1, Text(text_id::kBrowse));
  view_->SetToolTip(Control::Command2, Text(text_id::kBrowse));
}

void FConfigure::SetBox(Control box, const std::string& text) {
  (box == Control::PreSync ? preSync_ : postSync_) = text;
  view_->SetText(box, text);
}

void FConfigure::TryAndTell(const std::function<void()>& steps) {
  try {
    steps();
  } catch (const std::exception& e) {
    Try([&] { view_->ShowMessage(ErrorText(e)); });
  }
}

void FConfigure::LanguageClicked(int index) {
  if (!loaded_ || index < 0 || static_cast<size_t>(index) >= languageIds_.size()) return;
  TryAndTell([&] { SwitchLanguage(index); });
}

void FConfigure::OptionClicked(Control option) {
  if (loaded_ && IsOption(option)) option_ = option;
}

void FConfigure::TextEdited(Control box, const std::string& text) {
  if (!loaded_) return;
  if (box == Control::PreSync) preSync_ = text;
  if (box == Control::PostSync) postSync_ = text;
}

void FConfigure::BoxTicked(Control box, bool ticked) {
  if (!loaded_) return;
  if (box == Control::chkDefinitif) definitif_ = ticked;
  if (box == Control::chkDefault) default_ = ticked;
}

void FConfigure::BrowseClicked(Control button) {
  if (!loaded_ || (button != Control::Command1 && button != Control::Command2)) return;
  const Control box = button == Control::Command1 ? Control::PreSync : Control::PostSync;
  TryAndTell([&] {
    FilePickRequest picker;
    picker.FileName = box == Control::PreSync ? preSync_ : postSync_;
    picker.InitDir = module_.folder;
    picker.Filter = Text(text_id::kProgramFilter);
    picker.flags = kBrowseFlags;
    view_->ShowSave(picker);
    // A cancelled picker leaves FileName as it was given, so the box keeps
    // its text.
    if (!TrimBlanks(picker.FileName).empty()) SetBox(box, picker.FileName);
  });
}

void FConfigure::OkClicked() {
  if (!loaded_) return;
  int32_t chosen = nSyncType;
  if (option_ == Control::optSync) chosen = CodeOf(SyncType::kFast);
  if (option_ == Control::optPCToHH) chosen = CodeOf(SyncType::kPcToHandheld);
  if (option_ == Control::optHHToPC) chosen = CodeOf(SyncType::kHandheldToPc);
  if (option_ == Control::optDoNothing) chosen = CodeOf(SyncType::kDoNothing);

  const std::string values[] = {preSync_, postSync_, definitif_ ? "OUI" : "NON",
                                std::to_string(LangOffset)};
  for (size_t i = 0; i < std::size(kStoredNames); ++i) {
    if (!SetRegValue(kSettingsKey, kStoredNames[i], values[i])) {
      // The change did not reach the store: say so and stay open, with the
      // fields as they were, so that Cancel reports a cancelled window.
      Try([&] {
        std::optional<std::string> message = texts_.Find(text_id::kSettingsNotSaved + LangOffset);
        if (!message) message = texts_.Find(text_id::kSettingsNotSaved);
        if (!message) message = BuiltInTexts().Load(text_id::kSettingsNotSaved);
        view_->ShowMessage(*message);
      });
      return;
    }
  }
  nSyncType = chosen;
  nSyncPref = 1;
  bCancel = false;
  Unload();
}

void FConfigure::CancelClicked() {
  if (loaded_) Unload();
}

namespace {

FConfigureFactory& Factory() {
  static FConfigureFactory factory;
  return factory;
}

std::unique_ptr<FConfigure>& Window() {
  static std::unique_ptr<FConfigure> window;
  return window;
}

}  // namespace

void SetFConfigureFactory(FConfigureFactory factory) {
  Window().reset();
  Factory() = std::move(factory);
}

FConfigure& FConfigureWindow() {
  if (!Window()) {
    if (!Factory()) Raise(err::kObjectRequired, "This build has no configuration window");
    Window() = Factory()();
    if (!Window()) Raise(err::kObjectRequired, "The configuration window could not be created");
  }
  return *Window();
}

}  // namespace bolvarin
