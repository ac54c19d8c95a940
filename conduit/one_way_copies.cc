// One-way copies: the handheld overwrites the desktop, or the reverse.
#include "base/host_events.h"
#include "conduit/csync.h"
#include "conduit/mod_public.h"
#include "store/cdtdata.h"

namespace bolvarin {

namespace {
constexpr int32_t kNotCopied = 0x88;  // deleted or archived
}  // namespace

void CSync::CopyToPc() {
  SavePreference();

  try {
    // The handheld is reached before the desktop list is emptied: when the
    // handheld database could not be opened, the desktop keeps its records
    // instead of being rewritten empty.
    HXRecordAdapter& adapter = Adapter();
    adapter.SetReadPosition(0);
    PcData().RemoveAllRecords();

    const int32_t n = 0;  // the first argument of ReadNext never changes here
    TaggedValue id;
    int32_t category = 0;
    int32_t attributes = 0;
    Bytes data = adapter.ReadNext(n, id, category, attributes);
    while (!adapter.AtEnd()) {
      if ((attributes & kNotCopied) == 0) PcData().WriteRecord(id, category, attributes, data);
      ProcessPendingMessages();
      id.Clear();
      data = adapter.ReadNext(n, id, category, attributes);
    }
    adapter.RemoveSet(1, 255);
    Log(" - Sync configured to Copy to PC", -1, -1, 0);
  } catch (const std::exception& e) {
    LogError(" - CopyToPc - ", e);
  }
}

void CSync::CopyToHandheld() {
  RestorePreference();

  int32_t n = 0;
  try {
    Adapter().RemoveSet(0, 255);
  } catch (const std::exception&) {
  }
  try {
    n = PcData().RecordCount();
  } catch (const std::exception&) {
  }

  try {
    SortRecordsByDate();
    for (int32_t i = 0; i < n; ++i) {
      TaggedValue id;
      int32_t category = 0;
      int32_t attributes = 0;
      Bytes data = PcData().ReadByIndex(i, id, category, attributes);
      ProcessPendingMessages();
      if ((attributes & kNotCopied) != 0) continue;
      if (id.AsInt32() == 0) id = TaggedValue::Int32(0);
      Adapter().WriteRecord(id, category, 0, data);
      WriteBackIdentifier(i + 1, id);
    }
    Log(" - Sync configured to Copy to kova", -1, -1, 0);
  } catch (const std::exception& e) {
    LogError(" - Copy to kova - ", e);
  }
}

}  // namespace bolvarin
