// The compiled string table and its lookups.
#include "config/texts.h"

#include "base/error.h"

namespace bolvarin {

int16_t LangOffset = 0;

std::optional<std::string> StringTable::Find(int id) const {
  for (const auto& [entryId, text] : entries_) {
    if (entryId == id) return text;
  }
  return std::nullopt;
}

std::string StringTable::Load(int id) const {
  std::optional<std::string> text = Find(id);
  if (!text)
    Raise(kTextNotFound, "Resource with identifier '" + std::to_string(id) + "' not found");
  return *text;
}

const StringTable& BuiltInTexts() {
  static const StringTable table({
#define BOLVARIN_TEXT(id, text) {id, text},
#include "config/texts.inc"
#undef BOLVARIN_TEXT
  });
  return table;
}

}  // namespace bolvarin
