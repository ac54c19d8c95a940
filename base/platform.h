// The handheld sync manager's library, as the conduit sees it.
//
// Every object the conduit calls on the platform is an abstract class here.
// The Linux build implements them with the simulated handheld (handheld/);
// the Windows build wraps the sync manager's COM objects. Results come back
// through by-reference arguments where the platform's interface does so, and
// every failure is raised as a ConduitError (number and description), which
// is what an HRESULT with its error info becomes.
//
// Objects the conduit "creates with new" come from a Platform factory handed
// to CNotify, so the core never names a concrete implementation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/tagged_value.h"

namespace bolvarin {

// The ProgIDs of the platform's classes: those the conduit creates, and the
// record adapter that ConduitServices opens a database through. The
// Windows build reaches them by these names; its stand-in registers them.
inline constexpr char kPlatformSystemProgId[] = "HXDirect.PlatformSystem";
inline constexpr char kConduitServicesProgId[] = "HXDirect.ConduitServices";
inline constexpr char kPlatformUtilityProgId[] = "HXDirect.PlatformUtility";
inline constexpr char kRecordAdapterProgId[] = "HXDirect.HXRecordAdapter";

// The run's description: what the sync manager wants done, and where.
class SyncContext {
 public:
  virtual ~SyncContext() = default;
  virtual int32_t SyncTypeCode() = 0;
  virtual std::string DesktopPath() = 0;
  virtual std::string DesktopFileName() = 0;
  virtual int16_t DatabaseCount() = 0;
  virtual std::vector<std::string> DatabaseNames() = 0;
  // Four-character codes packed into a 32-bit integer, first character in
  // the most significant byte ('Bolv' is 0x426F6C76).
  virtual int32_t CreatorCode() = 0;
  virtual int32_t TypeCode() = 0;
};

// The handheld application's 16 category slots, as one database holds them.
class HandheldCategories {
 public:
  virtual ~HandheldCategories() = default;
  virtual void Commit() = 0;
  virtual void ResetDirtyFlags() = 0;
  virtual std::string Name(int32_t index) = 0;
  virtual void SetName(int32_t index, const std::string& name) = 0;
  virtual int32_t ID(int32_t index) = 0;
  virtual void SetID(int32_t index, uint8_t id) = 0;
  virtual bool Dirty(int32_t index) = 0;
  virtual void SetDirty(int32_t index, bool dirty) = 0;
  virtual void SetLastIndex(int32_t index) = 0;
};

// One open handheld database.
class HXRecordAdapter {
 public:
  virtual ~HXRecordAdapter() = default;
  // ReadPosition := position; 0 makes the next ReadNext return the first record.
  virtual void SetReadPosition(int32_t position) = 0;
  // Reads the record at the read position and advances. When no record is
  // left, returns empty bytes and AtEnd becomes true.
  virtual Bytes ReadNext(int32_t n, TaggedValue& vRecordId, int32_t& nCategory,
                         int32_t& eAttributes) = 0;
  virtual bool AtEnd() = 0;
  // Writes the record; an identifier 0 creates a record and returns its new
  // identifier in vRecordId.
  virtual void WriteRecord(TaggedValue& vRecordId, int32_t lngCategory, int32_t eAttributes,
                           const Bytes& pData) = 0;
  virtual void RemoveRecord(const TaggedValue& vRecordId) = 0;
  // selector 0: every record is removed; selector 1: the records marked
  // deleted are purged.
  virtual void RemoveSet(int32_t selector, int32_t mask) = 0;
  virtual std::shared_ptr<HandheldCategories> Categories() = 0;
};

class ConduitServices {
 public:
  virtual ~ConduitServices() = default;
  // One line of the sync manager's log; each flag is -1 or 0.
  virtual void AddLogEntry(const std::string& text, int32_t a, int32_t b, int32_t c) = 0;
  // Raises an error when the database cannot be opened.
  virtual std::shared_ptr<HXRecordAdapter> OpenDatabase(const std::string& name,
                                                        const std::string& progId,
                                                        int32_t mode) = 0;
  virtual std::shared_ptr<HXRecordAdapter> CreateDatabase(const std::string& name,
                                                          const std::string& progId,
                                                          const TaggedValue& creator,
                                                          const TaggedValue& type, int32_t mode,
                                                          int32_t a, int32_t b, int32_t c) = 0;
};

class PlatformUtility {
 public:
  virtual ~PlatformUtility() = default;
  // The four-character text of a packed code.
  virtual std::string CodeToText(int32_t code, int32_t flag) = 0;
  virtual std::string RecordIdToText(const TaggedValue& vRecordId) = 0;
  virtual TaggedValue TextToRecordId(const std::string& text) = 0;
};

class PlatformSystem {
 public:
  virtual ~PlatformSystem() = default;
  virtual std::shared_ptr<SyncContext> GetSyncContext() = 0;
  // Reads preference `number` of `creator`: its version and its bytes (a
  // tagged byte array). Raises an error when the preference cannot be read.
  virtual void ReadPreference(const TaggedValue& creator, int32_t number, bool flag,
                              int32_t& version, TaggedValue& data) = 0;
  virtual void WritePreference(const TaggedValue& creator, int32_t number, bool flag,
                               int32_t version, const TaggedValue& data) = 0;
};

// What the conduit creates "with new" on the platform.
class Platform {
 public:
  virtual ~Platform() = default;
  virtual std::shared_ptr<PlatformSystem> NewPlatformSystem() = 0;
  virtual std::shared_ptr<ConduitServices> NewConduitServices() = 0;
  virtual std::shared_ptr<PlatformUtility> NewPlatformUtility() = 0;
};

}  // namespace bolvarin
