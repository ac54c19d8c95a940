// One-way copies: the handheld overwrites the desktop, or the reverse.
//
// Each copy reads and converts its whole source before it touches the
// target: one record or line that does not convert is logged with the reason
// and leaves the target exactly as it was, instead of leaving it emptied or
// half refilled.
#include <vector>

#include "base/error.h"
#include "base/host_events.h"
#include "conduit/csync.h"
#include "conduit/mod_public.h"
#include "store/cdtdata.h"
#include "store/desktop_records.h"

namespace bolvarin {

namespace {
constexpr int32_t kNotCopied = 0x88;  // deleted or archived

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
    // Every handheld record is read and converted before the desktop list
    // changes, so a record that does not convert (or an unopened handheld)
    // leaves the desktop records as they were.
    HXRecordAdapter& adapter = Adapter();
    CDtData& store = PcData();
    adapter.SetReadPosition(0);

    std::vector<colEnregistrement> entries;
    const int32_t n = 0;  // the first argument of ReadNext never changes here
    TaggedValue id;
    int32_t category = 0;
    int32_t attributes = 0;
    Bytes data = adapter.ReadNext(n, id, category, attributes);
    while (!adapter.AtEnd()) {
      if ((attributes & kNotCopied) == 0) {
        try {
          entries.push_back(store.DecodeEntry(id, category, attributes, data));
        } catch (const ConduitError& e) {
          RaiseLeftAsItWas(e, "desktop");
        }
      }
      ProcessPendingMessages();
      id.Clear();
      data = adapter.ReadNext(n, id, category, attributes);
    }

    store.RemoveAllRecords();
    for (colEnregistrement& entry : entries) store.PutEntry(std::move(entry));
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
