// CDtCategories: the desktop copy of the 16 category slots, kept in
// "categories.txt" beside the data file.
//
// Create fills the table from the file once; the release (destructor)
// replaces the file with one line per used slot: "Name, ID,True|False".
// The file is replaced whole (old or new, never partial). A file that exists
// but cannot be read is never replaced: LoadFailure() says why.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace bolvarin {

inline constexpr char kCategoriesFile[] = "categories.txt";
inline constexpr int kCategorySlots = 16;
inline constexpr size_t kCategoryNameLength = 15;

class CDtCategories {
 public:
  CDtCategories();
  ~CDtCategories();
  CDtCategories(const CDtCategories&) = delete;
  CDtCategories& operator=(const CDtCategories&) = delete;

  // Fills the table from `directory` + "categories.txt" (the directory ends
  // with a separator). Runs once; later calls do nothing.
  void Create(const std::string& directory);

  // Each raises a subscript-out-of-range error for an index outside 0..15.
  void ResetDirtyFlags();
  std::string Name(int16_t nIndex) const;
  void SetName(int16_t nIndex, const std::string& pName);
  uint8_t ID(int16_t nIndex) const;
  void SetID(int16_t nIndex, uint8_t nId);
  bool Dirty(int16_t nIndex) const;
  void SetDirty(int16_t nIndex, bool bDirty);

  // Set when the file exists but could not be read: the file, the line and
  // the reason. Such a file is never replaced by the release.
  const std::string& LoadFailure() const { return loadFailure_; }

  // Writes the file now, as the release would, and raises an error naming
  // the file when it cannot; the lines are then kept in a copy beside it (or
  // in the user's data folder), which the error names. Does nothing after a
  // LoadFailure or before Create. The release writes again only if a slot
  // changed since, or when this write failed.
  void Save();
  // The table was only read: the release leaves the file as it is.
  void LeaveFileAsItIs() { saved_ = true; }

 private:
  struct Slot {
    std::string name = std::string(kCategoryNameLength, ' ');
    uint8_t id = 0;
    bool dirty = false;
  };
  static void CheckIndex(int16_t nIndex);
  std::string FileContents() const;
  bool Writable() const { return created_ && loadFailure_.empty(); }

  std::array<Slot, kCategorySlots> slots_;
  std::string directory_;
  std::string loadFailure_;
  bool created_ = false;
  bool saved_ = false;  // the file holds the slots as they are now
  // This table replaced the file once already: a later write deletes the
  // version it replaces for good, so that the trash keeps one old copy, the
  // file as it was before the run.
  bool replaced_ = false;
};

}  // namespace bolvarin
