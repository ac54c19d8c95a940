// The simulated handheld's state: its databases and preferences.
//
// A Device is what a real handheld holds for the sync manager: databases of
// records (in the device's record order) with 16 category slots each, and
// application preferences. Its image is a JSON document
// ("syncbolvarin-handheld/1"), which is also what `handheld export` prints
// and `handheld import` reads, so runs in a row behave like one device.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/record_attributes.h"
#include "base/tagged_value.h"

namespace bolvarin::handheld {

inline constexpr char kImageFormat[] = "syncbolvarin-handheld/1";

// Attribute bits the device sets on its records.
using bolvarin::kAttrArchived;
using bolvarin::kAttrDeleted;
inline constexpr int32_t kAttrDirty = kAttrChanged;

// Limits of what the device stores (texts are 8-bit, counted in bytes).
inline constexpr size_t kMaxDatabaseName = 31;
inline constexpr size_t kMaxCategoryName = 15;
inline constexpr int32_t kMaxRecordCategory = 15;
inline constexpr int32_t kMaxRecordAttributes = 255;

// What the device can store. Each check gives the reason a value cannot be
// stored, or an empty text when it can. The image loader and the platform
// objects refuse by these same checks, so whatever the device holds is saved
// to an image that loads again.
std::string TextProblem(const std::string& text, size_t maxBytes);  // 8-bit, no byte 0
std::string DatabaseNameProblem(const std::string& name);           // 1 to 31 bytes
std::string CodeProblem(const std::string& code);                   // exactly 4 bytes
std::string CategoryNameProblem(const std::string& name);           // at most 15 bytes
std::string RangeProblem(int64_t value, int64_t lo, int64_t hi);
std::string RecordIdProblem(int64_t id);  // 32-bit, not 0 ("not yet numbered")
std::string RecordCategoryProblem(int64_t category);
std::string RecordAttributesProblem(int64_t attributes);
std::string CategoryIdProblem(int64_t id);

// A corrupt image, an unknown format version, or a file that cannot be read
// or written: the message names the file and the place. Every failure of
// the loader is an ImageError.
class ImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Record {
  int32_t id = 0;
  int32_t category = 0;
  int32_t attributes = 0;
  Bytes data;
};

struct Category {
  std::string name;
  int32_t id = 0;
  bool dirty = false;
};

struct Database {
  std::string name;
  std::string creator;
  std::string type;
  std::array<Category, 16> categories{};
  // The last value the conduit gave LastIndex, when it gave one (kept for
  // inspection; it does not change the slots).
  std::optional<int32_t> lastIndex;

  // Records in the device's record order. Lookups by identifier are served
  // by an index; removals are cheap and keep the order.
  size_t RecordCount() const;
  const Record* Find(int32_t id) const;
  Record* Find(int32_t id);
  // Appends a record; an identifier 0 gets a new unique identifier, which is
  // returned. An identifier in use is an error.
  int32_t Append(Record record);
  bool Remove(int32_t id);
  void RemoveAll();
  // Removes the records whose attributes have the deleted bit.
  void PurgeDeleted();
  // Records in order. Compacts removed slots first, which moves the slots
  // and changes Generation(); a reader that must not disturb a walk in
  // progress goes through SlotCount() and Slot() instead.
  const std::vector<Record>& Records();
  int32_t NewId();

  // Raw access for readers that walk the records while others remove some:
  // slots keep their positions until the next compaction (Records() after
  // removals, RemoveAll), which changes Generation(). Slot() is null for
  // a removed record.
  size_t SlotCount() const;
  const Record* Slot(size_t slot) const;
  std::optional<size_t> SlotOf(int32_t id) const;
  uint64_t Generation() const { return generation_; }

 private:
  void Compact();
  std::vector<Record> records_;
  std::vector<bool> removed_;
  size_t removedCount_ = 0;
  std::unordered_map<int32_t, size_t> index_;
  int32_t nextId_ = 0;
  uint64_t generation_ = 0;
};

struct Preference {
  std::string creator;
  int32_t number = 0;
  int32_t version = 0;
  Bytes data;
};

class Device {
 public:
  std::vector<Database> databases;
  std::vector<Preference> preferences;

  Database* FindDatabase(const std::string& name);
  Preference* FindPreference(const std::string& creator, int32_t number);

  // Parses an image; `source` names it in error messages.
  static Device FromJson(const std::string& text, const std::string& source);
  std::string ToJson() const;

  // Loads an image file; raises ImageError naming the file.
  static Device Load(const std::string& path);
  // Writes the image atomically (a temporary file renamed over the old one;
  // through a symbolic link, over the file it points to). Raises ImageError.
  void Save(const std::string& path) const;
};

// Packs a four-character code ("Bolv") into the platform's 32-bit form.
int32_t PackCode(const std::string& code);
std::string UnpackCode(int32_t code);

// Bytes as upper-case hex digits, two per byte, nothing between.
std::string ToHex(const Bytes& bytes);

}  // namespace bolvarin::handheld
