#include "handheld/sim_platform.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <thread>

#include "base/error.h"
#include "base/text.h"

namespace bolvarin::handheld {

namespace {

// An empty identifier counts as 0, the way the platform coerces an empty
// tagged value to a number.
int32_t IdOf(const TaggedValue& v) { return v.IsEmpty() ? 0 : v.AsInt32(); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

class SimSyncContext : public SyncContext {
 public:
  explicit SimSyncContext(SimPlatform& platform) : platform_(platform) {}

  int32_t SyncTypeCode() override { return Run("SyncTypeCode").syncType; }
  std::string DesktopPath() override { return Run("DesktopPath").desktopPath; }
  std::string DesktopFileName() override { return Run("DesktopFileName").desktopFileName; }
  int16_t DatabaseCount() override {
    size_t count = Run("DatabaseCount").databases.size();
    if (count > static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
      Raise(err::kOverflow, "the run lists " + std::to_string(count) + " databases; at most " +
                                std::to_string(std::numeric_limits<int16_t>::max()) + " fit");
    }
    return static_cast<int16_t>(count);
  }
  std::vector<std::string> DatabaseNames() override { return Run("DatabaseNames").databases; }
  int32_t CreatorCode() override { return Run("CreatorCode").creatorCode; }
  int32_t TypeCode() override { return Run("TypeCode").typeCode; }

 private:
  const RunRequest& Run(const char* operation) {
    platform_.Call(operation);
    return platform_.run();
  }

  SimPlatform& platform_;
};

// Objects below name their database rather than point into the device, so
// creating another database (which may move the device's list) never leaves
// them pointing at freed memory.
Database& LookUp(SimPlatform& platform, const std::string& name) {
  Database* db = platform.device().FindDatabase(name);
  if (db == nullptr) Raise(err::kPlatform, "database " + Quoted(name) + " no longer exists");
  return *db;
}

class SimCategories : public HandheldCategories {
 public:
  SimCategories(SimPlatform& platform, const Database& db)
      : platform_(platform), database_(db.name), staged_(db.categories) {}

  void Commit() override {
    platform_.Call("Commit");
    platform_.NoteCategoryCall("Commit");
    LookUp(platform_, database_).categories = staged_;
  }
  void ResetDirtyFlags() override {
    platform_.Call("ResetDirtyFlags");
    platform_.NoteCategoryCall("ResetDirtyFlags");
    for (auto& slot : staged_) slot.dirty = false;
  }
  std::string Name(int32_t index) override { return Slot("Name", index).name; }
  void SetName(int32_t index, const std::string& name) override {
    Category& slot = Slot("SetName", index);
    platform_.NoteCategoryCall("Name " + std::to_string(index));
    // The desktop pads names to 15 characters; the device keeps the text,
    // and refuses what it cannot store.
    std::string text = name;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (std::string why = CategoryNameProblem(text); !why.empty()) {
      Raise(err::kInvalidArgument,
            "SetName: the name " + Quoted(text) + " of slot " + std::to_string(index) + " " + why);
    }
    slot.name = text;
  }
  int32_t ID(int32_t index) override { return Slot("ID", index).id; }
  void SetID(int32_t index, uint8_t id) override {
    Category& slot = Slot("SetID", index);
    platform_.NoteCategoryCall("ID " + std::to_string(index));
    slot.id = id;
  }
  bool Dirty(int32_t index) override { return Slot("Dirty", index).dirty; }
  void SetDirty(int32_t index, bool dirty) override {
    Category& slot = Slot("SetDirty", index);
    platform_.NoteCategoryCall("Dirty " + std::to_string(index));
    slot.dirty = dirty;
  }
  void SetLastIndex(int32_t index) override {
    platform_.Call("SetLastIndex");
    if (index < -1 || index >= static_cast<int32_t>(staged_.size())) {
      Raise(err::kSubscriptOutOfRange, "LastIndex " + std::to_string(index) + " is outside -1..15");
    }
    platform_.NoteCategoryCall("LastIndex " + std::to_string(index));
    LookUp(platform_, database_).lastIndex = index;
  }

 private:
  Category& Slot(const char* operation, int32_t index) {
    platform_.Call(operation);
    if (index < 0 || index >= static_cast<int32_t>(staged_.size())) {
      Raise(err::kSubscriptOutOfRange, std::string(operation) + ": category index " +
                                           std::to_string(index) + " is outside 0..15");
    }
    return staged_[static_cast<size_t>(index)];
  }

  SimPlatform& platform_;
  std::string database_;
  std::array<Category, 16> staged_;
};

class SimAdapter : public HXRecordAdapter {
 public:
  SimAdapter(SimPlatform& platform, std::string database)
      : platform_(platform), database_(std::move(database)) {}

  void SetReadPosition(int32_t position) override {
    platform_.Call("SetReadPosition");
    if (position < 0) {
      Raise(err::kInvalidArgument, "ReadPosition " + std::to_string(position) + " is negative");
    }
    const Database& db = Db();
    // Position counts records, not slots: skip the removed slots in front.
    size_t slot = 0, seen = 0;
    while (slot < db.SlotCount() && (db.Slot(slot) == nullptr || seen < size_t(position))) {
      if (db.Slot(slot) != nullptr) ++seen;
      ++slot;
    }
    slot_ = slot;
    generation_ = db.Generation();
    lastId_.reset();
    atEnd_ = false;
  }

  Bytes ReadNext(int32_t /*n*/, TaggedValue& vRecordId, int32_t& nCategory,
                 int32_t& eAttributes) override {
    platform_.Call("ReadNext");
    const Database& db = Db();
    Relocate(db);
    while (slot_ < db.SlotCount() && db.Slot(slot_) == nullptr) ++slot_;
    if (slot_ >= db.SlotCount()) {
      atEnd_ = true;
      vRecordId.Clear();
      nCategory = 0;
      eAttributes = 0;
      return {};
    }
    const Record& rec = *db.Slot(slot_++);
    atEnd_ = false;
    lastId_ = rec.id;
    vRecordId = TaggedValue::Int32(rec.id);
    nCategory = rec.category;
    eAttributes = rec.attributes;
    return rec.data;
  }

  bool AtEnd() override {
    platform_.Call("AtEnd");
    return atEnd_;
  }

  void WriteRecord(TaggedValue& vRecordId, int32_t lngCategory, int32_t eAttributes,
                   const Bytes& pData) override {
    platform_.Call("WriteRecord");
    int32_t id = IdOf(vRecordId);
    if (std::string why = RecordCategoryProblem(lngCategory); !why.empty()) {
      Raise(err::kInvalidArgument, "WriteRecord: category " + std::to_string(lngCategory) +
                                       " of record " + std::to_string(id) + " " + why);
    }
    if (std::string why = RecordAttributesProblem(eAttributes); !why.empty()) {
      Raise(err::kInvalidArgument, "WriteRecord: attributes " + std::to_string(eAttributes) +
                                       " of record " + std::to_string(id) + " " + why);
    }
    Database& db = Db();
    if (id != 0) {
      if (Record* rec = db.Find(id)) {
        rec->category = lngCategory;
        rec->attributes = eAttributes;
        rec->data = pData;
        vRecordId = TaggedValue::Int32(id);
        return;
      }
    }
    id = db.Append(Record{id, lngCategory, eAttributes, pData});
    vRecordId = TaggedValue::Int32(id);
  }

  void RemoveRecord(const TaggedValue& vRecordId) override {
    platform_.Call("RemoveRecord");
    int32_t id = IdOf(vRecordId);
    Database& db = Db();
    if (!db.Remove(id)) {
      Raise(err::kPlatform, "RemoveRecord: record " + std::to_string(id) +
                                " does not exist in database " + Quoted(database_));
    }
  }

  void RemoveSet(int32_t selector, int32_t /*mask*/) override {
    platform_.Call("RemoveSet");
    Database& db = Db();
    switch (selector) {
      case 0:
        db.RemoveAll();
        break;
      case 1:
        db.PurgeDeleted();
        break;
      default:
        Raise(err::kInvalidArgument,
              "RemoveSet: selector " + std::to_string(selector) + " is neither 0 nor 1");
    }
  }

  std::shared_ptr<HandheldCategories> Categories() override {
    platform_.Call("Categories");
    return std::make_shared<SimCategories>(platform_, Db());
  }

 private:
  Database& Db() { return LookUp(platform_, database_); }

  // After a compaction slots have moved: continue after the record read last.
  void Relocate(const Database& db) {
    if (generation_ == db.Generation()) return;
    generation_ = db.Generation();
    if (!lastId_) {
      slot_ = 0;
    } else if (auto slot = db.SlotOf(*lastId_)) {
      slot_ = *slot + 1;
    } else {
      // The record read last is gone too. Its followers moved down by the
      // number of removed slots in front of them, which is no longer known;
      // staying at the same slot number never reads a record twice, at the
      // cost of possibly skipping some. Only a compaction in the middle of a
      // read pass (Records() called by an inspector) gets here.
      slot_ = std::min(slot_, db.SlotCount());
    }
  }

  SimPlatform& platform_;
  std::string database_;
  size_t slot_ = 0;
  uint64_t generation_ = 0;
  std::optional<int32_t> lastId_;
  bool atEnd_ = false;
};

class SimServices : public ConduitServices {
 public:
  explicit SimServices(SimPlatform& platform) : platform_(platform) {}

  void AddLogEntry(const std::string& text, int32_t a, int32_t b, int32_t c) override {
    platform_.Call("AddLogEntry");
    platform_.AddLog(LogEntry{text, a, b, c});
  }

  std::shared_ptr<HXRecordAdapter> OpenDatabase(const std::string& name, const std::string& progId,
                                                int32_t /*mode*/) override {
    platform_.Call("OpenDatabase");
    CheckProgId(progId);
    Database* db = platform_.device().FindDatabase(name);
    if (db == nullptr) Raise(err::kPlatform, "database " + Quoted(name) + " does not exist");
    return std::make_shared<SimAdapter>(platform_, db->name);
  }

  std::shared_ptr<HXRecordAdapter> CreateDatabase(const std::string& name,
                                                  const std::string& progId,
                                                  const TaggedValue& creator,
                                                  const TaggedValue& type, int32_t /*mode*/,
                                                  int32_t /*a*/, int32_t /*b*/,
                                                  int32_t /*c*/) override {
    platform_.Call("CreateDatabase");
    CheckProgId(progId);
    if (std::string why = DatabaseNameProblem(name); !why.empty()) {
      Raise(err::kInvalidArgument, "CreateDatabase: the name " + Quoted(name) + " " + why);
    }
    if (platform_.device().FindDatabase(name) != nullptr) {
      Raise(err::kPlatform, "CreateDatabase: database " + Quoted(name) + " already exists");
    }
    Database db;
    db.name = name;
    db.creator = Code(creator, "creator");
    db.type = Code(type, "type");
    platform_.device().databases.push_back(std::move(db));
    return std::make_shared<SimAdapter>(platform_, name);
  }

 private:
  static void CheckProgId(const std::string& progId) {
    if (progId != kRecordAdapterProgId) {
      Raise(err::kPlatform, "cannot create " + Quoted(progId) + ": unknown record adapter class");
    }
  }
  static std::string Code(const TaggedValue& value, const char* what) {
    const std::string& text = value.AsText();
    if (std::string why = CodeProblem(text); !why.empty()) {
      Raise(err::kInvalidArgument,
            std::string("CreateDatabase: the ") + what + " " + Quoted(text) + " " + why);
    }
    return text;
  }

  SimPlatform& platform_;
};

class SimUtility : public PlatformUtility {
 public:
  explicit SimUtility(SimPlatform& platform) : platform_(platform) {}

  std::string CodeToText(int32_t code, int32_t /*flag*/) override {
    platform_.Call("CodeToText");
    return UnpackCode(code);
  }
  std::string RecordIdToText(const TaggedValue& vRecordId) override {
    platform_.Call("RecordIdToText");
    return std::to_string(IdOf(vRecordId));
  }
  TaggedValue TextToRecordId(const std::string& text) override {
    platform_.Call("TextToRecordId");
    std::string digits = TrimBlanks(text);
    const char* first = digits.data();
    const char* last = digits.data() + digits.size();
    // One optional sign: a leading '+' is skipped, after which from_chars
    // still takes a '-', so "+-5" must be refused here.
    if (first != last && *first == '+') {
      ++first;
      if (first != last && *first == '-') {
        Raise(err::kTypeMismatch, "Type mismatch: " + Quoted(text) + " is not a record identifier");
      }
    }
    int32_t id = 0;
    auto [ptr, ec] = std::from_chars(first, last, id);
    if (ec == std::errc::result_out_of_range && ptr == last) {
      Raise(err::kOverflow, "record identifier " + Quoted(text) + " is outside the 32-bit range");
    }
    if (ec != std::errc() || ptr != last || first == last) {
      Raise(err::kTypeMismatch, "Type mismatch: " + Quoted(text) + " is not a record identifier");
    }
    return TaggedValue::Int32(id);
  }

 private:
  SimPlatform& platform_;
};

class SimSystem : public PlatformSystem {
 public:
  explicit SimSystem(SimPlatform& platform) : platform_(platform) {}

  std::shared_ptr<SyncContext> GetSyncContext() override {
    platform_.Call("GetSyncContext");
    return std::make_shared<SimSyncContext>(platform_);
  }

  void ReadPreference(const TaggedValue& creator, int32_t number, bool /*flag*/, int32_t& version,
                      TaggedValue& data) override {
    platform_.Call("ReadPreference");
    const std::string& code = creator.AsText();
    Preference* pref = platform_.device().FindPreference(code, number);
    if (pref == nullptr) {
      Raise(err::kPlatform, "preference " + std::to_string(number) + " of creator " + Quoted(code) +
                                " does not exist");
    }
    version = pref->version;
    data = TaggedValue::FromBytes(pref->data);
  }

  void WritePreference(const TaggedValue& creator, int32_t number, bool /*flag*/, int32_t version,
                       const TaggedValue& data) override {
    platform_.Call("WritePreference");
    const std::string& code = creator.AsText();
    if (std::string why = CodeProblem(code); !why.empty()) {
      Raise(err::kInvalidArgument, "WritePreference: the creator " + Quoted(code) + " " + why);
    }
    const Bytes& bytes = data.AsBytes();
    Device& device = platform_.device();
    Preference* pref = device.FindPreference(code, number);
    if (pref == nullptr) {
      device.preferences.push_back(Preference{code, number, version, bytes});
    } else {
      pref->version = version;
      pref->data = bytes;
    }
  }

 private:
  SimPlatform& platform_;
};

}  // namespace

SimPlatform::SimPlatform(Device& device, RunRequest run, LogSink sink)
    : device_(device), run_(std::move(run)), sink_(std::move(sink)) {}

std::shared_ptr<PlatformSystem> SimPlatform::NewPlatformSystem() {
  Call("NewPlatformSystem");
  return std::make_shared<SimSystem>(*this);
}

std::shared_ptr<ConduitServices> SimPlatform::NewConduitServices() {
  Call("NewConduitServices");
  return std::make_shared<SimServices>(*this);
}

std::shared_ptr<PlatformUtility> SimPlatform::NewPlatformUtility() {
  Call("NewPlatformUtility");
  return std::make_shared<SimUtility>(*this);
}

void SimPlatform::Call(const std::string& operation) {
  const uint64_t nth = ++calls_[operation];
  ++totalCalls_;
  if (latency_.count() > 0) std::this_thread::sleep_for(latency_);
  const bool anyOperation = cut_.operation == "*";
  if (cut_.n != 0 && (anyOperation || cut_.operation == operation) &&
      (anyOperation ? totalCalls_ : nth) == cut_.n) {
    if (atCut_) atCut_();
    Raise(err::kPlatform, "the link to the handheld was cut at call " + std::to_string(cut_.n) +
                              " of " + cut_.operation + " (" + operation + ")");
  }
  if (std::find(failing_.begin(), failing_.end(), operation) != failing_.end()) {
    Raise(err::kPlatform, "simulated failure of " + operation);
  }
}

void SimPlatform::CrashAt(CallCut cut, const std::string& image) {
  CutAt(std::move(cut), [this, image] {
    device_.Save(image);
    std::_Exit(137);
  });
}

CallCut ParseCallCut(const std::string& text, const std::string& what) {
  const size_t colon = text.rfind(':');
  CallCut cut;
  if (colon != std::string::npos && colon > 0) {
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, cut.n);
    if (ec == std::errc() && end == last && first != last && cut.n > 0) {
      cut.operation = text.substr(0, colon);
      return cut;
    }
  }
  Raise(err::kInvalidArgument, what + " \"" + text +
                                   "\" is not OPERATION:N (an operation name or *, a call number "
                                   "from 1), e.g. WriteRecord:3");
}

std::string CallCountsLine(const CallCounts& calls) {
  uint64_t total = 0;
  std::string each;
  for (const auto& [operation, count] : calls) {
    total += count;
    each += (each.empty() ? "" : ", ") + operation + " " + std::to_string(count);
  }
  return "platform calls: " + std::to_string(total) + (each.empty() ? "" : " (" + each + ")");
}

void SimPlatform::AddLog(const LogEntry& entry) {
  log_.push_back(entry);
  if (sink_) sink_(entry);
}

}  // namespace bolvarin::handheld
