// One-way copies: the handheld overwrites the desktop, or the reverse.
//
// One record or line that does not convert is logged with the reason and
// leaves the target exactly as it was, instead of leaving it emptied or half
// refilled: the copy to the handheld converts every line before it empties
// the handheld; the copy to the desktop refills the record list and, when it
// fails, leaves the data file as it was loaded.
#include <vector>

#include "base/error.h"
#include "base/host_events.h"
#include "base/mod_public.h"
#include "base/record_attributes.h"
#include "conduit/csync.h"
#include "store/cdtdata.h"
#include "store/desktop_records.h"

namespace bolvarin {

namespace {
constexpr int32_t kNotCopied = kAttrDeletedOrArchived;

// A desktop record converted for the handheld, with its place in the list.
struct PendingRecord {
  int32_t position;  // 1-based, in DesktopRecords
  TaggedValue id;
  int32_t category;
  Bytes data;
};

[[noreturn]] void RaiseLeftAsItWas(const ConduitError& e, const char* side) {
  Raise(e.number(), e.description() + "; nothing was copied, the " + side + " is left as it was");
}
}  // namespace

void CSync::CopyToPc() {
  SavePreference();

  try {
    // The desktop list is refilled record by record, so that only one copy
    // of the records is ever in memory. Until the list is complete the data
    // file on disk still holds the desktop's records as they were loaded:
    // when a record does not convert, or the handheld fails part-way, the
    // store is told to leave that file alone, and the desktop keeps every
    // record it had.
    HXRecordAdapter& adapter = Adapter();
    CDtData& store = PcData();
    adapter.SetReadPosition(0);
    store.RemoveAllRecords();
    try {
      const int32_t n = 0;  // the first argument of ReadNext never changes here
      TaggedValue id;
      int32_t category = 0;
      int32_t attributes = 0;
      Bytes data = adapter.ReadNext(n, id, category, attributes);
      while (!adapter.AtEnd()) {
        if ((attributes & kNotCopied) == 0) {
          try {
            store.PutEntry(store.DecodeEntry(id, category, attributes, data));
          } catch (const ConduitError& e) {
            RaiseLeftAsItWas(e, "desktop");
          }
        }
        ProcessPendingMessages();
        id.Clear();
        data = adapter.ReadNext(n, id, category, attributes);
      }
    } catch (...) {
      store.LeaveFileAsItIs();
      throw;
    }

    // The records are in the data file before the handheld forgets which
    // of them changed.
    store.Save();
    adapter.RemoveSet(1, 255);
    Log(" - Sync configured to Copy to PC", -1, -1, 0);
  } catch (const std::exception& e) {
    LogError(" - CopyToPc - ", e);
  }
}

void CSync::CopyToHandheld() {
  RestorePreference();

  try {
    // Every desktop line is converted, in date order, before the handheld is
    // emptied: one line that does not convert is named in the log and the
    // handheld keeps every record it had.
    HXRecordAdapter& adapter = Adapter();
    CDtData& store = PcData();
    SortRecordsByDate();
    const int32_t n = store.RecordCount();
    std::vector<PendingRecord> pending;
    pending.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      PendingRecord record{i + 1, TaggedValue(), 0, Bytes()};
      int32_t attributes = 0;
      try {
        record.data = store.ReadByIndex(i, record.id, record.category, attributes);
      } catch (const ConduitError& e) {
        RaiseLeftAsItWas(e, "handheld");
      }
      ProcessPendingMessages();
      if ((attributes & kNotCopied) != 0) continue;  // stays on the desktop only
      if (record.id.AsInt32() == 0) record.id = TaggedValue::Int32(0);
      pending.push_back(std::move(record));
    }

    adapter.RemoveSet(0, 255);
    for (PendingRecord& record : pending) {
      adapter.WriteRecord(record.id, record.category, 0, record.data);
      WriteBackIdentifier(record.position, record.id);
    }
    Log(" - Sync configured to Copy to kova", -1, -1, 0);
  } catch (const std::exception& e) {
    LogError(" - Copy to kova - ", e);
  }
}

}  // namespace bolvarin
