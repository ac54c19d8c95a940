// CDtData: the desktop side of the ledger records.
//
// Shaped like the handheld's record adapter so the engine reads and writes
// desktop records the way it does handheld ones. The records live in
// DesktopRecords between opening and release; the data file (one line per
// record, CR LF after each) is read at opening and replaced at release, after
// which the user's "postsync" program runs with the file's full path.
//
// A run that is cut short (a dropped link, a killed process) must not leave
// the desktop behind the handheld: a run saves what it took from the
// handheld before it changes the handheld (Save), and every identifier the
// handheld gives a desktop line goes to the journal "<data file>.journal"
// at once (JournalIdentifier). The next store to open that file gives the
// lines their identifiers back from the journal.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "base/tagged_value.h"
#include "store/desktop_records.h"

namespace bolvarin {

class CDtCategories;
class Platform;
class PlatformUtility;

// The date of a desktop line (field 3). Raises an error naming the field
// when the line has fewer than four fields or field 3 is no date.
DateTime LineDate(const std::string& line);

// The identifier of a line (field 0, a signed 32-bit decimal, blanks around
// it allowed). Raises an error that says what is wrong with it.
int32_t LineIdentifier(std::string_view line);

// The entry for a line of the data file (or of its journal): its identifier
// (field 0, a signed 32-bit decimal) and date. Raises an error that says
// what is wrong with the line.
colEnregistrement EntryOfLine(std::string_view line);

// Calls take(line number, line) for each line of a data file's text that is
// not empty, as the store reads them: a line ends at CR (with or without LF
// after it); a LF alone belongs to the line, except in a file without one
// CR LF, where it ends the line too. Line numbers count from 1.
void ForEachDataFileLine(std::string_view text,
                         const std::function<void(int64_t, std::string_view)>& take);

class CDtData {
 public:
  explicit CDtData(Platform& platform);
  // Releases the store as Release() does when nobody did, without a word.
  ~CDtData();
  CDtData(const CDtData&) = delete;
  CDtData& operator=(const CDtData&) = delete;

  // Loads the data file into DesktopRecords, after what is already there.
  // False when the file is missing or cannot be read; for an unreadable file
  // nothing of it stays in the list and OpenFailure() says where and why.
  bool OpenDatabase(const std::string& pPath, const std::string& pName);
  // Replaces any file of that name by an empty one. False when it cannot,
  // and for the file the last OpenDatabase found unreadable (it is kept).
  bool CreateDatabase(const std::string& pPath, const std::string& pName);

  // Release: replaces the data file with the list's lines and runs
  // "postsync". Nothing is written when no folder was ever given, or when
  // the file existed but could not be read (it is then left as it was).
  // A store that was given a file empties DesktopRecords at release, written
  // or not, so its records never reach a later run of the same process.
  // When the file cannot be replaced, the lines are kept in a copy beside it
  // (or in the user's data folder) and an error names the file, the reason
  // and the copy; "postsync" does not run. Only the first call does anything.
  void Release();

  // Writes the list's lines to the data file now, as the release does, and
  // keeps the store open; "postsync" does not run. Raises an error naming the
  // file when it cannot. Does nothing when the release would write nothing.
  // Of the versions a run's writes replace, only the file the run began with
  // goes to the trash: the later ones are the run's own and are deleted.
  void Save();

  // Notes in the journal that the handheld has just given a desktop line
  // its identifier: `line` is the line as it reads with that identifier.
  // The note is handed to the system before this returns. Raises an error
  // naming the journal when it cannot be written.
  void JournalIdentifier(const std::string& line);
  std::string JournalFile() const { return dataFile_ + ".journal"; }
  // What the last OpenDatabase could not do with a journal left by a run
  // that was cut short, for the log; empty when there was nothing to say.
  const std::string& JournalProblem() const { return journalProblem_; }

  Bytes ReadByIndex(int32_t nIndex, TaggedValue& vRecordId, int32_t& nCategory,
                    int32_t& eAttributes);
  // Stores a handheld record: replaces the first entry with its identifier
  // or appends it; the attributes 128 and 192 remove that entry instead.
  // Raises an error naming the record when its bytes do not convert, and the
  // list is left as it was.
  void WriteRecord(const TaggedValue& vRecordId, int32_t lngCategory, int32_t eAttributes,
                   const Bytes& data);
  // The two halves of WriteRecord for a record that is not deleted, so that
  // a caller can convert every record before the list changes: the entry
  // for a handheld record (raises as WriteRecord does; the list is not
  // touched), and storing it.
  colEnregistrement DecodeEntry(const TaggedValue& vRecordId, int32_t lngCategory,
                                int32_t eAttributes, const Bytes& data);
  void PutEntry(colEnregistrement entry);
  // The run gives up on the desktop records after changing the list: the
  // release writes nothing and starts no program, so the data file stays
  // exactly as it was loaded.
  void LeaveFileAsItIs() { keepFile_ = true; }
  void RemoveAllDeletedRecords();
  void RemoveAllRecords();
  int32_t RecordCount() const;
  std::shared_ptr<CDtCategories> Categories();

  // Why the last OpenDatabase failed: empty when it succeeded or the file
  // was merely missing; otherwise the file, the line number and the reason.
  const std::string& OpenFailure() const { return openFailure_; }
  bool FileMissing() const { return fileMissing_; }
  const std::string& DataFile() const { return dataFile_; }

 private:
  PlatformUtility& Converter();
  void SetLocation(const std::string& pPath, const std::string& pName);
  // The list's lines, CR LF after each, handed to `write` in pieces.
  static void WriteLines(const std::function<void(std::string_view)>& write);
  std::string FileContents() const;
  // Replaces the data file with the list's lines, written in pieces.
  void ReplaceDataFile();
  void ApplyJournal(int32_t first);

  Platform& platform_;
  std::shared_ptr<PlatformUtility> converter_;
  std::string folder_;
  std::string fileName_;
  std::string dataFile_;
  std::string openFailure_;
  std::string journalProblem_;
  bool fileMissing_ = false;
  bool keepFile_ = false;  // unreadable, or given up on: never replace it
  bool released_ = false;
  bool replaced_ = false;     // this store replaced the data file already
  bool keepJournal_ = false;  // a journal that could not be read or moved aside
};

}  // namespace bolvarin
