// The ledger as the export and the report read it: every line of a data
// file, read with the store's own line reader, with the names of its
// category, payment mode and type taken from the files beside it, and every
// text converted from Windows-1252 to UTF-8.
//
// Reading never writes: not the data file, not "categories.txt", not the
// lists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/record_codec.h"

namespace bolvarin {

struct BookEntry {
  int64_t line = 0;                  // its line number in the data file, from 1
  int32_t id = 0;                    // 0 for a line the handheld has not numbered yet
  LineFields fields;                 // fields.identifier is not kept; fields.note is UTF-8
  std::string category, mode, type;  // UTF-8 names; empty when there is none
};

struct LedgerBook {
  LedgerBook() = default;
  LedgerBook(LedgerBook&&) = default;
  LedgerBook& operator=(LedgerBook&&) = default;
  LedgerBook(const LedgerBook&) = delete;  // the entries point into this book's names
  LedgerBook& operator=(const LedgerBook&) = delete;

  std::string dataFile;
  // The names of the categories' slots, the modes and the types, each as
  // the files beside the data file give them, UTF-8.
  std::vector<std::string> categories, modes, types;
  // In date order; lines of the same date keep the file's order.
  std::vector<BookEntry> entries;
  // Lines that could not be read, and side files that could not be read,
  // each as "FILE, line N: reason" (the line left out when there is one).
  std::vector<std::string> problems;
};

// Reads the data file and the files beside it. Raises an error naming the
// file when the data file is missing or cannot be read at all.
LedgerBook ReadLedgerBook(const std::string& dataFile);

}  // namespace bolvarin
