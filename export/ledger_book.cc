#include "export/ledger_book.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "base/error.h"
#include "base/text.h"
#include "lists/cdtcategories.h"
#include "lists/preference_lists.h"
#include "os/files.h"
#include "store/cdtdata.h"

namespace bolvarin {

namespace {

// The folder part of a path, separator included; "" for a bare name.
std::string FolderOf(const std::string& path) {
  return path.substr(0, path.size() - FileNameOf(path).size());
}

// The entries of one list file, UTF-8; empty when there is none. A file that
// cannot be read is a problem, and its names are left empty.
std::vector<std::string> ListNames(const std::string& folder, const PreferenceFile& file,
                                   std::vector<std::string>& problems) {
  std::vector<std::string> names;
  try {
    ReadPreferenceFile(folder.empty() ? "." : folder, file, names);
  } catch (const std::exception& e) {
    problems.push_back(ErrorText(e) + " (its names are left out)");
    names.clear();
  }
  for (std::string& name : names) name = Windows1252ToUtf8(TrimBlanks(name));
  return names;
}

std::string_view NameAt(const std::vector<std::string>& names, int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < names.size() ? std::string_view(names[index])
                                                                 : std::string_view();
}

}  // namespace

LedgerBook ReadLedgerBook(const std::string& dataFile) {
  LedgerBook book;
  book.dataFile = dataFile;
  std::string text;
  if (!ReadWholeFile(dataFile, text)) {
    Raise(err::kFileNotFound, "Data file \"" + dataFile + "\" does not exist");
  }
  const std::string folder = FolderOf(dataFile);

  std::vector<std::string>& categories = book.categories;
  categories.resize(kCategorySlots);
  {
    CDtCategories table;
    table.Create(folder);
    table.LeaveFileAsItIs();
    if (!table.LoadFailure().empty()) {
      book.problems.push_back(table.LoadFailure() + " (category names are left out)");
    } else {
      for (int16_t k = 0; k < kCategorySlots; ++k) {
        categories[k] = Windows1252ToUtf8(TrimBlanks(table.Name(k)));
      }
    }
  }
  book.modes = ListNames(folder, kModeFile, book.problems);
  book.types = ListNames(folder, kTypeFile, book.problems);

  book.entries.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  ForEachDataFileLine(text, [&](int64_t number, std::string_view line) {
    BookEntry entry;
    entry.line = number;
    try {
      entry.id = LineIdentifier(line);
      entry.fields = ReadLineFields(line);
    } catch (const std::exception& e) {
      book.problems.push_back(dataFile + ", line " + std::to_string(number) + ": " + ErrorText(e));
      return;
    }
    entry.fields.identifier = {};
    entry.fields.note = Windows1252ToUtf8(entry.fields.note);
    entry.category = NameAt(categories, entry.fields.category);
    if (entry.fields.mode) entry.mode = NameAt(book.modes, *entry.fields.mode);
    if (entry.fields.type) entry.type = NameAt(book.types, *entry.fields.type);
    book.entries.push_back(std::move(entry));
  });
  std::string().swap(text);  // the entries hold what they need of it

  // Sorted through their positions, then put in place by following each
  // cycle of the permutation: every entry moves once, with no second copy.
  const auto earlier = [](const BookEntry& a, const BookEntry& b) {
    return a.fields.date < b.fields.date;
  };
  std::vector<BookEntry>& entries = book.entries;
  if (!std::is_sorted(entries.begin(), entries.end(), earlier)) {
    std::vector<uint32_t> order(entries.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return earlier(entries[a], entries[b]); });
    for (uint32_t start = 0; start < order.size(); ++start) {
      if (order[start] == start) continue;
      BookEntry held = std::move(entries[start]);
      uint32_t at = start;
      while (order[at] != start) {
        const uint32_t from = order[at];
        entries[at] = std::move(entries[from]);
        order[at] = at;
        at = from;
      }
      entries[at] = std::move(held);
      order[at] = at;
    }
  }
  return book;
}

}  // namespace bolvarin
