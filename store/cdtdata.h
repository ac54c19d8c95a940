// CDtData: the desktop side of the ledger records.
//
// Shaped like the handheld's record adapter so the engine reads and writes
// desktop records the way it does handheld ones. The records live in
// DesktopRecords between opening and release; the data file (one line per
// record, CR LF after each) is read at opening and replaced at release, after
// which the user's "postsync" program runs with the file's full path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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

  Platform& platform_;
  std::shared_ptr<PlatformUtility> converter_;
  std::string folder_;
  std::string fileName_;
  std::string dataFile_;
  std::string openFailure_;
  bool fileMissing_ = false;
  bool keepFile_ = false;  // unreadable, or given up on: never replace it
  bool released_ = false;
};

}  // namespace bolvarin
