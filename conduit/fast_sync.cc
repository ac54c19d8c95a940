// Two-way record synchronisation (fast sync) and the identifier write-back
// shared with the copy to the handheld.
#include <algorithm>
#include <unordered_set>
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
constexpr int32_t kChanged = kAttrChanged;
constexpr int32_t kDeleted = kAttrDeleted;
constexpr int32_t kDeletedChanged = kAttrDeletedChanged;
constexpr int32_t kNotWritten = kAttrDeletedOrArchived;  // stays off the handheld

// What pass 1 saw on the handheld, kept small: a hash map of byte vectors
// costs several times the records' own size, at the moment the run holds
// the most. One entry per record, sorted by identifier, and the bytes of the
// clean records one after the other in one buffer.
class HandheldRecords {
 public:
  // Notes a record; a clean one keeps its category and bytes for pass 2.
  void Add(int32_t id, int32_t category, bool clean, const Bytes& data) {
    Entry e{id, category, 0, 0, true, clean};
    if (clean) {
      e.offset = static_cast<uint32_t>(bytes_.size());
      e.size = static_cast<uint32_t>(data.size());
      bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    entries_.push_back(e);
  }
  // After the last Add. Of several records with one identifier only the
  // first is kept: when it is not clean, the line is written, as it is when
  // in doubt.
  void Seal() {
    const auto byId = [](const Entry& a, const Entry& b) { return a.id < b.id; };
    std::stable_sort(entries_.begin(), entries_.end(), byId);
    entries_.erase(std::unique(entries_.begin(), entries_.end(),
                               [](const Entry& a, const Entry& b) { return a.id == b.id; }),
                   entries_.end());
  }
  // True, once, for an identifier the handheld holds.
  bool TakeOnHandheld(int32_t id) {
    Entry* e = Find(id);
    if (e == nullptr || !e->onHandheld) return false;
    e->onHandheld = false;
    return true;
  }
  // Whether the handheld holds this identifier clean with this category and
  // these bytes. The first call for an identifier takes its record: a second
  // line with that identifier is written whatever it holds.
  bool TakeSame(int32_t id, int32_t category, const Bytes& data) {
    Entry* e = Find(id);
    if (e == nullptr || !e->clean) return false;
    e->clean = false;
    return e->category == category && e->size == data.size() &&
           std::equal(data.begin(), data.end(), bytes_.begin() + e->offset);
  }

 private:
  struct Entry {
    int32_t id;
    int32_t category;
    uint32_t offset;
    uint32_t size;
    bool onHandheld;
    bool clean;  // its bytes are kept and not compared yet
  };
  Entry* Find(int32_t id) {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), id,
                               [](const Entry& e, int32_t key) { return e.id < key; });
    return it != entries_.end() && it->id == id ? &*it : nullptr;
  }
  std::vector<Entry> entries_;
  Bytes bytes_;
};
}  // namespace

void CSync::WriteBackIdentifier(int32_t position, const TaggedValue& id) {
  RecordList& list = DesktopRecords();
  const colEnregistrement& entry = list.Item(position);
  if (entry.ID != 0) return;
  // Field 0 is replaced whole: a hand-written "00" or " 0" must not leave
  // stray characters in front of the new identifier.
  const size_t separator = entry.Texte.find(';');
  colEnregistrement updated;
  updated.ID = id.AsInt32();
  updated.Texte = std::to_string(updated.ID) +
                  (separator == std::string::npos ? std::string() : entry.Texte.substr(separator));
  updated.lDate = LineDate(updated.Texte);
  // The handheld holds the record under this identifier from now on: the
  // journal keeps it until the data file does.
  PcData().JournalIdentifier(updated.Texte);
  list.Set(position, std::move(updated));
}

void CSync::FastSync() {
  // The preference lists merge first and catch their own errors.
  SyncPreference();

  try {
    // Pass 1: what changed on the handheld comes to the desktop. A record
    // changed on both sides takes the handheld's version.
    HXRecordAdapter& adapter = Adapter();
    adapter.SetReadPosition(0);
    int32_t n = 0;
    TaggedValue id;
    int32_t category = 0;
    int32_t attributes = 0;
    Bytes data = adapter.ReadNext(n, id, category, attributes);
    n = 1;
    // Records that do not convert stay on the handheld as they are, changed
    // flag and all, so the next sync tries them again; the desktop line with
    // the same identifier, if any, is neither sent over them nor removed.
    std::unordered_set<int32_t> unconverted;
    // Every identifier the handheld holds: a line deleted on the desktop
    // whose record is already gone there (removed by an earlier run that
    // was cut short, or by anyone else) has nothing left to remove. And the
    // clean records (attributes 0) as the handheld holds them: pass 2 does
    // not write a desktop record over an identical one. The result is the
    // same, and every write is a round trip over the link.
    HandheldRecords handheld;
    bool tookAny = false;
    while (!adapter.AtEnd()) {
      const bool clean = attributes == 0 && !rewriteUnchanged_;
      handheld.Add(id.AsInt32(), category, clean, data);
      if (!clean &&
          (attributes == kChanged || attributes == kDeletedChanged || attributes == kDeleted)) {
        try {
          PcData().WriteRecord(id, category, attributes, data);
          tookAny = true;
        } catch (const ConduitError& e) {
          LogError(" - FastSync - ",
                   ConduitError(e.number(), e.description() +
                                                "; it stays on the handheld as it is and its "
                                                "desktop line, if any, is left unchanged"));
          unconverted.insert(id.AsInt32());
        }
      }
      id.Clear();
      data = adapter.ReadNext(n, id, category, attributes);
      ++n;
    }

    handheld.Seal();
    SortRecordsByDate();
    // What pass 1 took is in the data file before pass 2 marks those records
    // clean on the handheld: a run cut in between would otherwise leave the
    // handheld's edits nowhere but in this process.
    if (tookAny) PcData().Save();

    // Pass 2: every live desktop record goes to the handheld, clean, unless
    // the handheld holds it already, clean and the same. Entries
    // deleted on the desktop leave both sides; they are marked during the walk
    // and dropped in one pass afterwards, which gives the same list as
    // removing each on the spot without shifting the list once per removal.
    RecordList& list = DesktopRecords();
    const int32_t count = list.Count();
    std::vector<bool> removed(static_cast<size_t>(count) + 1, false);
    bool anyRemoved = false;
    auto dropRemoved = [&] {
      if (!anyRemoved) return;
      list.RemoveIf([&](const colEnregistrement&, int32_t position) {
        return removed[static_cast<size_t>(position)];
      });
      anyRemoved = false;
    };
    try {
      for (int32_t i = 0; i < count; ++i) {
        if (!unconverted.empty() && unconverted.count(list.Item(i + 1).ID) != 0) continue;
        id.Clear();
        data = PcData().ReadByIndex(i, id, category, attributes);
        ProcessPendingMessages();
        if ((attributes & kNotWritten) != 0) {
          if (attributes == kDeleted) {
            // A line the handheld never numbered, or no longer holds, has
            // nothing to remove there.
            if (handheld.TakeOnHandheld(id.AsInt32())) adapter.RemoveRecord(id);
            removed[static_cast<size_t>(i) + 1] = true;
            anyRemoved = true;
          }
          continue;
        }
        if (id.AsInt32() == 0) {
          id = TaggedValue::Int32(0);
        } else if (handheld.TakeSame(id.AsInt32(), category, data)) {
          continue;
        }
        adapter.WriteRecord(id, category, 0, data);
        WriteBackIdentifier(i + 1, id);
      }
    } catch (...) {
      dropRemoved();  // what was removed on the handheld leaves the desktop too
      throw;
    }
    dropRemoved();

    adapter.RemoveSet(1, 255);
    Log(" - Sync configured to Fast Sync", -1, -1, 0);
  } catch (const std::exception& e) {
    LogError(" - FastSync - ", e);
  }
}

}  // namespace bolvarin
