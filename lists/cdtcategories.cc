#include "lists/cdtcategories.h"

#include <charconv>

#include "base/error.h"
#include "base/mod_public.h"
#include "base/text.h"
#include "lists/text_lines.h"
#include "os/files.h"

namespace bolvarin {

namespace {

// Left-aligned in exactly 15 characters: cut or padded with spaces.
std::string FitName(std::string_view name) {
  std::string fitted(name.substr(0, kCategoryNameLength));
  fitted.resize(kCategoryNameLength, ' ');
  return fitted;
}

// Plain decimal digits with blanks around them, 0 to 255.
bool ParseIdentifier(std::string_view field, uint8_t& id) {
  std::string digits = TrimBlanks(field);
  if (digits.empty() || digits.size() > 3) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  int value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (value > 255) return false;
  id = static_cast<uint8_t>(value);
  return true;
}

}  // namespace

CDtCategories::CDtCategories() = default;

CDtCategories::~CDtCategories() {
  // The release writes the file; a failure here has nobody to tell, and the
  // replacement leaves the old or the new file whole.
  if (!Writable() || saved_) return;
  try {
    ReplaceFile(directory_ + kCategoriesFile, FileContents(), DeleteDefinitively || replaced_);
  } catch (...) {
  }
}

void CDtCategories::Create(const std::string& directory) {
  if (created_) return;
  created_ = true;
  directory_ = directory;
  const std::string path = directory_ + kCategoriesFile;

  auto recover = [this] {
    for (int k = 0; k < kCategorySlots; ++k) slots_[k] = Slot{FitName(""), uint8_t(k), false};
  };

  std::string contents;
  try {
    if (!ReadWholeFile(path, contents)) {
      recover();
      return;
    }
  } catch (const std::exception& e) {
    loadFailure_ = ErrorText(e);
    recover();
    return;
  }

  std::vector<std::string> lines = SplitTextLines(contents);
  // Empty lines after the last entry carry nothing and are harmless.
  while (!lines.empty() && lines.back().empty()) lines.pop_back();

  auto fail = [&](size_t lineNumber, const std::string& reason) {
    loadFailure_ = path + ", line " + std::to_string(lineNumber) + ": " + reason;
    recover();
  };
  if (lines.size() > static_cast<size_t>(kCategorySlots)) {
    fail(kCategorySlots + 1, "more than 16 lines; the file holds one line per category slot");
    return;
  }
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    if (line.empty()) {
      fail(k + 1, "empty line between categories; each line must be \"name, identifier,flag\"");
      return;
    }
    // The identifier and the flag follow the last two commas, so a name may
    // itself hold commas.
    size_t flagComma = line.rfind(',');
    size_t idComma = flagComma == std::string::npos || flagComma == 0
                         ? std::string::npos
                         : line.rfind(',', flagComma - 1);
    if (idComma == std::string::npos) {
      fail(k + 1, "\"" + line + "\" is not \"name, identifier,flag\" (two commas are needed)");
      return;
    }
    uint8_t id = 0;
    std::string_view idField = std::string_view(line).substr(idComma + 1, flagComma - idComma - 1);
    if (!ParseIdentifier(idField, id)) {
      fail(k + 1,
           "the identifier \"" + std::string(idField) + "\" is not a whole number from 0 to 255");
      return;
    }
    std::string name = TrimBlanks(std::string_view(line).substr(0, idComma));
    // The handheld keeps its names as texts ended by a 0 byte: a name holding
    // one could be sent but never read back.
    if (name.find('\0') != std::string::npos) {
      fail(k + 1, "the name holds the character 0, which the handheld cannot store");
      return;
    }
    Slot& slot = slots_[k];
    slot.name = FitName(name);
    slot.id = id;
    slot.dirty = TrimBlanks(std::string_view(line).substr(flagComma + 1)) != "False";
  }
}

std::string CDtCategories::FileContents() const {
  std::string out;
  for (const Slot& slot : slots_) {
    std::string name = TrimBlanks(slot.name);
    if (name.empty()) continue;
    out += name + ", " + std::to_string(slot.id) + "," + (slot.dirty ? "True" : "False") + "\r\n";
  }
  return out;
}

void CDtCategories::Save() {
  if (!Writable()) return;
  const std::string path = directory_ + kCategoriesFile, contents = FileContents();
  try {
    ReplaceFile(path, contents, DeleteDefinitively || replaced_);
  } catch (const ConduitError& e) {
    // The table may hold the handheld's changes: keep it where the user can
    // find it rather than only in memory.
    std::string kept;
    try {
      kept = "; the categories of this run are kept in \"" + KeepUnsavedCopy(path, contents) + "\"";
    } catch (const ConduitError& copy) {
      kept = "; " + copy.description();
    }
    Raise(e.number(), e.description() + kept);
  }
  saved_ = replaced_ = true;
}

void CDtCategories::CheckIndex(int16_t nIndex) {
  if (nIndex < 0 || nIndex >= kCategorySlots) {
    Raise(err::kSubscriptOutOfRange,
          "category slot " + std::to_string(nIndex) + " does not exist (slots are 0 to 15)");
  }
}

void CDtCategories::ResetDirtyFlags() {
  for (Slot& slot : slots_) slot.dirty = false;
  saved_ = false;
}

std::string CDtCategories::Name(int16_t nIndex) const {
  CheckIndex(nIndex);
  return slots_[nIndex].name;
}

void CDtCategories::SetName(int16_t nIndex, const std::string& pName) {
  CheckIndex(nIndex);
  std::string fitted = FitName(pName);
  // One line per slot: a line break inside a name would split it in the
  // file; a 0 byte would make the file unreadable (the handheld cannot store it).
  if (fitted.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
    Raise(err::kInvalidArgument,
          "category name \"" + TrimBlanks(fitted) + "\" of slot " + std::to_string(nIndex) +
              " holds a line break or the character 0, which categories.txt cannot store");
  }
  slots_[nIndex].name = std::move(fitted);
  saved_ = false;
}

uint8_t CDtCategories::ID(int16_t nIndex) const {
  CheckIndex(nIndex);
  return slots_[nIndex].id;
}

void CDtCategories::SetID(int16_t nIndex, uint8_t nId) {
  CheckIndex(nIndex);
  slots_[nIndex].id = nId;
  saved_ = false;
}

bool CDtCategories::Dirty(int16_t nIndex) const {
  CheckIndex(nIndex);
  return slots_[nIndex].dirty;
}

void CDtCategories::SetDirty(int16_t nIndex, bool bDirty) {
  CheckIndex(nIndex);
  slots_[nIndex].dirty = bDirty;
  saved_ = false;
}

}  // namespace bolvarin
