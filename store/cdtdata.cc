#include "store/cdtdata.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/error.h"
#include "base/mod_public.h"
#include "base/platform.h"
#include "base/record_attributes.h"
#include "base/text.h"
#include "config/settings.h"
#include "lists/cdtcategories.h"
#include "os/files.h"
#include "os/run_and_wait.h"
#include "store/desktop_records.h"
#include "store/record_codec.h"

namespace bolvarin {

namespace {

// The text of field `index` of a line split at every ";", or nothing when
// the line has fewer fields.
std::optional<std::string_view> NthField(std::string_view line, size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < index; ++i) {
    size_t sep = line.find(';', start);
    if (sep == std::string_view::npos) return std::nullopt;
    start = sep + 1;
  }
  size_t end = line.find(';', start);
  return line.substr(start, end == std::string_view::npos ? line.size() - start : end - start);
}

// The identifier in field 0 of a data file line: a signed decimal 32-bit
// integer, blanks around it allowed.
std::optional<int32_t> ParseIdentifier(std::string_view text) {
  std::string trimmed = TrimBlanks(text);
  size_t pos = 0;
  bool negative = false;
  if (pos < trimmed.size() && (trimmed[pos] == '-' || trimmed[pos] == '+')) {
    negative = trimmed[pos] == '-';
    ++pos;
  }
  if (pos == trimmed.size()) return std::nullopt;
  int64_t value = 0;
  for (; pos < trimmed.size(); ++pos) {
    char c = trimmed[pos];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{1} << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

// The identifier the platform handed over, as a 32-bit integer; raises an
// error that says so when it holds none.
int32_t RecordIdentifier(const TaggedValue& vRecordId) {
  try {
    return vRecordId.AsInt32();
  } catch (const ConduitError& e) {
    Raise(e.number(), "Handheld record identifier is not a 32-bit integer: " + e.description());
  }
}

bool IsEmptyLine(std::string_view line) {
  return line.find_first_not_of(" \n") == std::string_view::npos;
}

}  // namespace

int32_t LineIdentifier(std::string_view line) {
  const size_t sep = line.find(';');
  if (sep == std::string_view::npos) Raise(err::kBadLine, "the line has no \";\"");
  const std::optional<int32_t> id = ParseIdentifier(line.substr(0, sep));
  if (!id) {
    Raise(err::kBadLine, "Field 0 (identifier) \"" + std::string(line.substr(0, sep)) +
                             "\" is not a 32-bit integer");
  }
  return *id;
}

colEnregistrement EntryOfLine(std::string_view line) {
  colEnregistrement entry;
  entry.ID = LineIdentifier(line);
  entry.Texte.assign(line);
  entry.lDate = LineDate(entry.Texte);
  return entry;
}

void ForEachDataFileLine(std::string_view text,
                         const std::function<void(int64_t, std::string_view)>& take) {
  // A line ends at CR, with or without LF after it; a LF alone belongs to the
  // line (a line break inside the note). A file with line feeds but not one
  // CR LF was written by a tool that ends lines with LF: there a LF ends the
  // line too. The release writes it back with CR LF.
  const bool lfEndsLines =
      text.find('\n') != std::string_view::npos && text.find("\r\n") == std::string_view::npos;
  size_t start = 0;
  int64_t lineNumber = 0;
  while (start < text.size()) {
    size_t cr = lfEndsLines ? text.find_first_of("\r\n", start) : text.find('\r', start);
    size_t end = cr == std::string_view::npos ? text.size() : cr;
    std::string_view line = text.substr(start, end - start);
    start = end;
    if (start < text.size()) {
      ++start;  // the CR (or the LF of a file with LF line ends)
      if (text[start - 1] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    ++lineNumber;
    if (!IsEmptyLine(line)) take(lineNumber, line);
  }
}

DateTime LineDate(const std::string& line) {
  std::optional<std::string_view> field = NthField(line, 3);
  if (!field) {
    Raise(err::kBadLine, "Field 3 (date) is missing: the line has fewer than four fields");
  }
  std::optional<DateTime> date = ParseDate(*field);
  if (!date) {
    Raise(err::kBadLine, "Field 3 (date) \"" + std::string(*field) +
                             "\" is not a date (dd/mm/yyyy, optionally followed by hh:mm:ss)");
  }
  return *date;
}

CDtData::CDtData(Platform& platform) : platform_(platform) {}

CDtData::~CDtData() {
  try {
    Release();
  } catch (...) {
    // Nobody released the store, so nobody is there to tell. The old file is
    // still whole, and the lines were kept in a copy where that was possible.
  }
}

void CDtData::WriteLines(const FilePiece& write) {
  const RecordList& list = DesktopRecords();
  std::string piece;
  constexpr size_t kPiece = size_t{1} << 18;
  piece.reserve(kPiece + 512);
  for (int32_t i = 1, count = list.Count(); i <= count; ++i) {
    piece += list.Item(i).Texte;
    piece += "\r\n";
    if (piece.size() >= kPiece) {
      write(piece);
      piece.clear();
    }
  }
  write(piece);
}

std::string CDtData::FileContents() const {
  const RecordList& list = DesktopRecords();
  size_t size = 0;
  for (int32_t i = 1; i <= list.Count(); ++i) size += list.Item(i).Texte.size() + 2;
  std::string contents;
  contents.reserve(size);
  WriteLines([&contents](std::string_view piece) { contents += piece; });
  return contents;
}

void CDtData::Save() {
  if (released_ || dataFile_.empty() || keepFile_) return;
  ReplaceDataFile();
}

void CDtData::ReplaceDataFile() {
  // Written in pieces: a run saves while it holds the records of both sides,
  // and a copy of the whole file on top would be its largest allocation.
  ReplaceFileWith(dataFile_, WriteLines, DeleteDefinitively || replaced_);
  replaced_ = true;
}

void CDtData::Release() {
  if (released_ || dataFile_.empty()) return;  // never given a file
  released_ = true;
  const std::string contents = keepFile_ ? std::string() : FileContents();
  // The list is the store's own content: it must not reach the next run of
  // this process, whether or not it reaches the disk.
  DesktopRecords().Clear();
  if (keepFile_) return;

  try {
    ReplaceFile(dataFile_, contents, DeleteDefinitively || replaced_);
    replaced_ = true;
  } catch (const ConduitError& e) {
    // What the run merged must not exist only in memory.
    std::string kept;
    try {
      kept = "; the records of this run are kept in \"" + KeepUnsavedCopy(dataFile_, contents) +
             "\": check it and put it in place of the data file before the next synchronisation";
    } catch (const ConduitError& copy) {
      kept = "; " + copy.description();
    }
    Raise(e.number(), e.description() + kept);
  }
  // The file holds every identifier the handheld gave: the journal is done.
  if (!keepJournal_) RemoveFile(JournalFile(), /*permanent=*/true);
  std::string postsync = GetRegValue(kSettingsKey, "postsync");
  if (!TrimBlanks(postsync).empty()) RunAndWait(postsync, dataFile_);
}

void CDtData::JournalIdentifier(const std::string& line) {
  AppendToFile(JournalFile(), line + "\r\n");
}

void CDtData::ApplyJournal(int32_t first) {
  const std::string journal = JournalFile();
  std::string text;
  try {
    if (!ReadWholeFile(journal, text)) return;
  } catch (const std::exception& e) {
    keepJournal_ = true;
    journalProblem_ = ErrorText(e) + "; no identifier was taken from it and it is left as it is";
    return;
  }

  // Each entry is a line as it reads with the identifier the handheld gave
  // it, CR LF after it. An entry cut off or unreadable voids the journal as
  // a whole: taking half of it could number two lines alike.
  std::vector<colEnregistrement> entries;
  size_t start = 0;
  try {
    while (start < text.size()) {
      const size_t cr = text.find('\r', start);
      if (cr == std::string::npos || cr + 1 >= text.size() || text[cr + 1] != '\n') {
        Raise(err::kBadLine, "the entry does not end with CR LF");
      }
      entries.push_back(EntryOfLine(std::string_view(text).substr(start, cr - start)));
      start = cr + 2;
      if (entries.back().ID == 0) Raise(err::kBadLine, "identifier 0 is none the handheld gives");
    }
  } catch (const std::exception& e) {
    const std::string aside = journal + ".unreadable";
    journalProblem_ = "Journal \"" + journal + "\", entry " + std::to_string(entries.size() + 1) +
                      ": " + ErrorText(e) + "; no identifier was taken from it";
    try {
      ReplaceFile(aside, text, /*permanent=*/false);
      RemoveFile(journal, /*permanent=*/true);
      journalProblem_ += " and it is kept as \"" + aside + "\"";
    } catch (const std::exception& keep) {
      keepJournal_ = true;
      journalProblem_ += " and it is left as it is (" + ErrorText(keep) + ")";
    }
    return;
  }

  // Lines still without an identifier take the entries sent with the same
  // text after field 0, in order; an identifier a line holds already was
  // written to the file before the run ended.
  RecordList& list = DesktopRecords();
  const int32_t count = list.Count();
  std::unordered_set<int32_t> held;
  for (int32_t i = first + 1; i <= count; ++i) held.insert(list.Item(i).ID);
  std::unordered_map<std::string, std::deque<size_t>> waiting;
  for (size_t k = 0; k < entries.size(); ++k) {
    if (held.count(entries[k].ID) == 0)
      waiting[entries[k].Texte.substr(entries[k].Texte.find(';'))].push_back(k);
  }
  size_t taken = 0;
  for (int32_t i = first + 1; i <= count && !waiting.empty(); ++i) {
    const colEnregistrement& line = list.Item(i);
    if (line.ID != 0) continue;
    auto it = waiting.find(line.Texte.substr(line.Texte.find(';')));
    if (it == waiting.end()) continue;
    list.Set(i, entries[it->second.front()]);
    it->second.pop_front();
    if (it->second.empty()) waiting.erase(it);
    ++taken;
  }
  if (!waiting.empty()) {
    const colEnregistrement& lost = entries[waiting.begin()->second.front()];
    size_t unmatched = 0;
    for (const auto& entry : waiting) unmatched += entry.second.size();
    journalProblem_ = "Journal \"" + journal + "\": " + std::to_string(unmatched) +
                      " line(s) numbered by the handheld are no longer in the data file as they "
                      "were sent (such as \"" +
                      lost.Texte + "\"); their records stay on the handheld";
  }
  try {
    if (taken > 0) ReplaceDataFile();
  } catch (const std::exception&) {
    return;  // the journal stays until the release writes the identifiers
  }
  RemoveFile(journal, /*permanent=*/true);
}

void CDtData::SetLocation(const std::string& pPath, const std::string& pName) {
  folder_ = pPath;
  fileName_ = pName;
  dataFile_ = JoinDesktopPath(pPath, pName);
}

bool CDtData::OpenDatabase(const std::string& pPath, const std::string& pName) {
  SetLocation(pPath, pName);
  openFailure_.clear();
  journalProblem_.clear();
  fileMissing_ = false;
  keepFile_ = false;
  keepJournal_ = false;

  std::string contents;
  try {
    if (!ReadWholeFile(dataFile_, contents)) {
      fileMissing_ = true;
      return false;
    }
  } catch (const std::exception& e) {
    openFailure_ = ErrorText(e);
    keepFile_ = true;
    return false;
  }

  RecordList& list = DesktopRecords();
  const int32_t before = list.Count();
  int64_t lineNumber = 0;
  try {
    ForEachDataFileLine(contents, [&](int64_t number, std::string_view line) {
      lineNumber = number;
      list.Add(EntryOfLine(line));
    });
  } catch (const std::exception& e) {
    list.Truncate(before);
    openFailure_ =
        "Data file \"" + dataFile_ + "\", line " + std::to_string(lineNumber) + ": " + ErrorText(e);
    keepFile_ = true;
    return false;
  }
  ApplyJournal(before);
  return true;
}

bool CDtData::CreateDatabase(const std::string& pPath, const std::string& pName) {
  // A file that exists but could not be read holds the user's data: it is
  // never replaced by an empty one.
  if (keepFile_ && SameFile(JoinDesktopPath(pPath, pName), dataFile_)) return false;
  SetLocation(pPath, pName);
  keepFile_ = false;
  try {
    ReplaceFile(dataFile_, "", DeleteDefinitively);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

Bytes CDtData::ReadByIndex(int32_t nIndex, TaggedValue& vRecordId, int32_t& nCategory,
                           int32_t& eAttributes) {
  RecordList& list = DesktopRecords();
  if (nIndex < 0 || nIndex >= list.Count()) {
    Raise(err::kSubscriptOutOfRange, "Record index " + std::to_string(nIndex) +
                                         " is outside the list of " + std::to_string(list.Count()) +
                                         " records");
  }
  std::string record;
  const std::string& line = list.Item(nIndex + 1).Texte;
  try {
    EncodeRecord(Converter(), line, vRecordId, nCategory, eAttributes, record);
  } catch (const ConduitError& e) {
    // The list is sorted by date by now, so its position says nothing to the
    // user: name the line by its text, which can be found in the file.
    Raise(e.number(), "Desktop line \"" + line + "\": " + e.description());
  }
  Bytes bytes(record.begin(), record.end());
  bytes.push_back(0);
  return bytes;
}

void CDtData::WriteRecord(const TaggedValue& vRecordId, int32_t lngCategory, int32_t eAttributes,
                          const Bytes& data) {
  if (eAttributes == kAttrDeleted || eAttributes == kAttrDeletedChanged) {
    DesktopRecords().RemoveFirst(RecordIdentifier(vRecordId));
    return;
  }
  PutEntry(DecodeEntry(vRecordId, lngCategory, eAttributes, data));
}

colEnregistrement CDtData::DecodeEntry(const TaggedValue& vRecordId, int32_t lngCategory,
                                       int32_t eAttributes, const Bytes& data) {
  colEnregistrement entry;
  entry.ID = RecordIdentifier(vRecordId);
  try {
    entry.Texte =
        DecodeRecord(Converter(), vRecordId, lngCategory, eAttributes,
                     std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    entry.lDate = LineDate(entry.Texte);
  } catch (const ConduitError& e) {
    Raise(e.number(), "Handheld record " + std::to_string(entry.ID) + " (category " +
                          std::to_string(lngCategory) + ", attributes " +
                          std::to_string(eAttributes) + "): " + e.description());
  }
  return entry;
}

void CDtData::PutEntry(colEnregistrement entry) {
  RecordList& list = DesktopRecords();
  const int32_t id = entry.ID;
  if (list.FindFirst(id) != 0) {
    list.SetFirst(id, std::move(entry));
  } else {
    list.Add(std::move(entry));
  }
}

void CDtData::RemoveAllDeletedRecords() {
  RecordList& list = DesktopRecords();
  // Every line's attributes are read before anything is removed, so a line
  // that cannot be read leaves the list as it was.
  const int32_t count = list.Count();
  std::vector<bool> drop(static_cast<size_t>(count) + 1, false);
  for (int32_t i = 1; i <= count; ++i) {
    const colEnregistrement& entry = list.Item(i);
    int32_t attributes;
    try {
      attributes = LineAttributes(entry.Texte);
    } catch (const ConduitError& e) {
      Raise(e.number(), "Record " + std::to_string(i) + " (identifier " + std::to_string(entry.ID) +
                            "): " + e.description());
    }
    drop[static_cast<size_t>(i)] = (attributes & kAttrDeletedOrArchived) != 0;
  }
  list.RemoveIf([&](const colEnregistrement&, int32_t position) {
    return drop[static_cast<size_t>(position)];
  });
}

void CDtData::RemoveAllRecords() { DesktopRecords().Clear(); }

int32_t CDtData::RecordCount() const { return DesktopRecords().Count(); }

std::shared_ptr<CDtCategories> CDtData::Categories() {
  if (folder_.empty()) {
    Raise(err::kPathAccess, "The desktop store has no folder yet, so \"" +
                                std::string(kCategoriesFile) + "\" cannot be located");
  }
  auto categories = std::make_shared<CDtCategories>();
  categories->Create(JoinDesktopPath(folder_, ""));
  return categories;
}

PlatformUtility& CDtData::Converter() {
  if (!converter_) converter_ = platform_.NewPlatformUtility();
  if (!converter_) Raise(err::kObjectRequired, "The platform gave no PlatformUtility object");
  return *converter_;
}

}  // namespace bolvarin
