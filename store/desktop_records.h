// colEnregistrement and DesktopRecords: the desktop ledger records in memory.
//
// DesktopRecords is one process-wide ordered list, shared by the desktop
// store and the engine. Positions count from 1, as the list's users expect;
// ReadByIndex of the store counts from 0.
//
// Lookups keep the meaning "the first entry with this identifier" but are
// served by an index, and removals do not shift the whole list each time,
// so no operation costs time quadratic in the number of records.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/col_enregistrement.h"
#include "base/date_time.h"

namespace bolvarin {

class RecordList {
 public:
  RecordList();
  ~RecordList();
  RecordList(const RecordList&) = delete;
  RecordList& operator=(const RecordList&) = delete;

  int32_t Count() const;

  // Entry at a 1-based position; raises a subscript-out-of-range error
  // naming the position and the count when there is none. The reference is
  // good until the list next changes.
  const colEnregistrement& Item(int32_t position) const;

  // Appends an entry at the end.
  void Add(colEnregistrement entry);

  // Replaces the fields of the entry at a position (the entry keeps its place).
  void Set(int32_t position, colEnregistrement entry);

  // Removes the entry at a position; the following entries move up one.
  void Remove(int32_t position);

  // The 1-based position of the first entry with this identifier, or 0.
  int32_t FindFirst(int32_t id) const;

  // Replaces the fields of the first entry with identifier `id` (the entry
  // keeps its place). False, and nothing changes, when there is none.
  bool SetFirst(int32_t id, colEnregistrement entry);

  // Removes the first entry with identifier `id`. False when there is none.
  // Costs amortised constant time: the entry's slot is reclaimed later.
  bool RemoveFirst(int32_t id);

  // Removes, in one pass, every entry for which remove() is true; the others
  // keep their order. remove receives the entry and its 1-based position
  // before the pass.
  void RemoveIf(const std::function<bool(const colEnregistrement&, int32_t)>& remove);

  // Stable sort by lDate, ascending.
  void SortByDate();

  // Drops every entry after the first `count` ones (used to undo a partial load).
  void Truncate(int32_t count);

  void Clear();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The process-wide list.
RecordList& DesktopRecords();

// Puts DesktopRecords in ascending order of lDate; entries with equal dates
// keep their order.
void SortRecordsByDate();

}  // namespace bolvarin
