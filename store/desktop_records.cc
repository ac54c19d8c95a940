#include "store/desktop_records.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "base/error.h"

namespace bolvarin {

// Layout: the entries sit in one vector of slots in list order. Removing an
// entry only marks its slot dead; a Fenwick tree over the slots (1 for a
// live slot, 0 for a dead one) turns positions into slots and back in
// logarithmic time, and the dead slots are squeezed out once they outnumber
// the live ones. Entries with the same identifier are chained through their
// slots in list order, so the first one is the head of its chain.
struct RecordList::Impl {
  static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

  struct Slot {
    colEnregistrement rec;
    uint32_t prev = kNone;  // previous slot with the same ID
    uint32_t next = kNone;  // next slot with the same ID
    bool live = true;
  };
  struct Chain {
    uint32_t head = kNone;
    uint32_t tail = kNone;
  };

  std::vector<Slot> slots;
  std::vector<uint32_t> tree;  // Fenwick tree, 1-based: tree[0] is unused
  std::unordered_map<int32_t, Chain> chains;
  uint32_t live = 0;
  uint32_t dead = 0;

  // ---- Fenwick tree ----
  static uint32_t LowBit(uint32_t i) { return i & (~i + 1); }

  uint32_t Prefix(uint32_t i) const {  // live slots among the first i
    uint32_t sum = 0;
    for (; i > 0; i -= LowBit(i)) sum += tree[i];
    return sum;
  }
  void AddAt(uint32_t i, int delta) {
    for (; i < tree.size(); i += LowBit(i)) tree[i] = static_cast<uint32_t>(tree[i] + delta);
  }
  void AppendToTree(bool isLive) {
    auto i = static_cast<uint32_t>(tree.size());
    uint32_t value = (isLive ? 1 : 0) + Prefix(i - 1) - Prefix(i - LowBit(i));
    tree.push_back(value);
  }
  void BuildTree() {
    tree.assign(slots.size() + 1, 0);
    for (size_t i = 1; i < tree.size(); ++i) {
      tree[i] += slots[i - 1].live ? 1 : 0;
      size_t parent = i + LowBit(static_cast<uint32_t>(i));
      if (parent < tree.size()) tree[parent] += tree[i];
    }
  }
  // The 0-based slot of the live entry at 1-based position k (1 <= k <= live).
  uint32_t FindKth(uint32_t k) const {
    uint32_t pos = 0;
    uint32_t step = 1;
    while (step * 2 < tree.size()) step *= 2;
    for (; step > 0; step /= 2) {
      if (pos + step < tree.size() && tree[pos + step] < k) {
        pos += step;
        k -= tree[pos];
      }
    }
    return pos;  // the 1-based tree index pos + 1 is slot pos
  }

  // ---- positions ----
  uint32_t SlotAt(int32_t position) const {
    auto p = static_cast<uint32_t>(position);
    return dead == 0 ? p - 1 : FindKth(p);
  }
  int32_t PositionOf(uint32_t slot) const {
    return static_cast<int32_t>(dead == 0 ? slot + 1 : Prefix(slot + 1));
  }
  void CheckPosition(int32_t position) const {
    if (position < 1 || static_cast<uint32_t>(position) > live) {
      Raise(err::kSubscriptOutOfRange, "Record position " + std::to_string(position) +
                                           " is outside the list of " + std::to_string(live) +
                                           " records");
    }
  }

  // ---- identifier chains ----
  void LinkAtEnd(uint32_t s) {
    Chain& chain = chains[slots[s].rec.ID];
    slots[s].prev = chain.tail;
    slots[s].next = kNone;
    if (chain.tail == kNone) {
      chain.head = s;
    } else {
      slots[chain.tail].next = s;
    }
    chain.tail = s;
  }
  // Links a slot into its chain at its place in list order.
  void LinkInOrder(uint32_t s) {
    Chain& chain = chains[slots[s].rec.ID];
    uint32_t before = chain.tail;
    while (before != kNone && before > s) before = slots[before].prev;
    uint32_t after = before == kNone ? chain.head : slots[before].next;
    slots[s].prev = before;
    slots[s].next = after;
    if (before == kNone) {
      chain.head = s;
    } else {
      slots[before].next = s;
    }
    if (after == kNone) {
      chain.tail = s;
    } else {
      slots[after].prev = s;
    }
  }
  void Unlink(uint32_t s) {
    Slot& slot = slots[s];
    auto it = chains.find(slot.rec.ID);
    Chain& chain = it->second;
    if (slot.prev == kNone) {
      chain.head = slot.next;
    } else {
      slots[slot.prev].next = slot.next;
    }
    if (slot.next == kNone) {
      chain.tail = slot.prev;
    } else {
      slots[slot.next].prev = slot.prev;
    }
    if (chain.head == kNone) chains.erase(it);
    slot.prev = slot.next = kNone;
  }
  void RebuildChains() {
    chains.clear();
    for (uint32_t s = 0; s < slots.size(); ++s) {
      if (slots[s].live) LinkAtEnd(s);
    }
  }
  uint32_t FirstSlotOf(int32_t id) const {
    auto it = chains.find(id);
    return it == chains.end() ? kNone : it->second.head;
  }

  // ---- changes ----
  void Assign(uint32_t s, colEnregistrement entry) {
    Slot& slot = slots[s];
    if (entry.ID == slot.rec.ID) {
      slot.rec = std::move(entry);
      return;
    }
    Unlink(s);
    slot.rec = std::move(entry);
    LinkInOrder(s);
  }
  void Kill(uint32_t s) {
    Unlink(s);
    Slot& slot = slots[s];
    slot.live = false;
    std::string().swap(slot.rec.Texte);  // the text is the bulk: free it now
    AddAt(s + 1, -1);
    --live;
    ++dead;
    // Squeezing costs a pass over the slots; doing it only once the dead
    // outnumber the live keeps removals amortised constant time.
    if (dead > 64 && dead > live) Compact();
  }
  void Compact() {
    if (dead == 0) return;
    auto out = std::remove_if(slots.begin(), slots.end(), [](const Slot& s) { return !s.live; });
    slots.erase(out, slots.end());
    dead = 0;
    RebuildChains();
    BuildTree();
  }
};

RecordList::RecordList() : impl_(std::make_unique<Impl>()) { impl_->tree.push_back(0); }
RecordList::~RecordList() = default;

int32_t RecordList::Count() const { return static_cast<int32_t>(impl_->live); }

const colEnregistrement& RecordList::Item(int32_t position) const {
  impl_->CheckPosition(position);
  return impl_->slots[impl_->SlotAt(position)].rec;
}

void RecordList::Add(colEnregistrement entry) {
  Impl& m = *impl_;
  if (m.live >= static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    Raise(err::kOverflow, "The record list is full at " + std::to_string(m.live) + " records");
  }
  if (m.slots.size() >= Impl::kNone - 1) m.Compact();
  m.slots.push_back(Impl::Slot{std::move(entry)});
  auto s = static_cast<uint32_t>(m.slots.size() - 1);
  m.LinkAtEnd(s);
  m.AppendToTree(true);
  ++m.live;
}

void RecordList::Set(int32_t position, colEnregistrement entry) {
  impl_->CheckPosition(position);
  impl_->Assign(impl_->SlotAt(position), std::move(entry));
}

void RecordList::Remove(int32_t position) {
  impl_->CheckPosition(position);
  impl_->Kill(impl_->SlotAt(position));
}

int32_t RecordList::FindFirst(int32_t id) const {
  uint32_t s = impl_->FirstSlotOf(id);
  return s == Impl::kNone ? 0 : impl_->PositionOf(s);
}

bool RecordList::SetFirst(int32_t id, colEnregistrement entry) {
  uint32_t s = impl_->FirstSlotOf(id);
  if (s == Impl::kNone) return false;
  impl_->Assign(s, std::move(entry));
  return true;
}

bool RecordList::RemoveFirst(int32_t id) {
  uint32_t s = impl_->FirstSlotOf(id);
  if (s == Impl::kNone) return false;
  impl_->Kill(s);
  return true;
}

void RecordList::RemoveIf(const std::function<bool(const colEnregistrement&, int32_t)>& remove) {
  Impl& m = *impl_;
  // Decide for every entry first, so a predicate that throws changes nothing.
  std::vector<bool> doomed(m.slots.size(), false);
  int32_t position = 0;
  bool any = false;
  for (size_t s = 0; s < m.slots.size(); ++s) {
    if (!m.slots[s].live) continue;
    ++position;
    if (remove(m.slots[s].rec, position)) {
      doomed[s] = true;
      any = true;
    }
  }
  if (!any) return;
  for (size_t s = 0; s < m.slots.size(); ++s) {
    if (doomed[s]) {
      m.slots[s].live = false;
      --m.live;
      ++m.dead;
    }
  }
  m.Compact();
}

void RecordList::SortByDate() {
  Impl& m = *impl_;
  m.Compact();
  std::stable_sort(m.slots.begin(), m.slots.end(), [](const Impl::Slot& a, const Impl::Slot& b) {
    return a.rec.lDate < b.rec.lDate;
  });
  m.RebuildChains();
}

void RecordList::Truncate(int32_t count) {
  Impl& m = *impl_;
  if (count < 0) count = 0;
  if (static_cast<uint32_t>(count) >= m.live) return;
  // Every slot after the one holding position `count` goes; walking from the
  // end, each live one is the tail of its chain when it is unlinked.
  size_t keep = count == 0 ? 0 : m.SlotAt(count) + 1;
  while (m.slots.size() > keep) {
    uint32_t s = static_cast<uint32_t>(m.slots.size() - 1);
    if (m.slots[s].live) {
      m.Unlink(s);
      --m.live;
    } else {
      --m.dead;
    }
    m.slots.pop_back();
  }
  m.tree.resize(m.slots.size() + 1);  // a prefix of a Fenwick tree is one itself
}

void RecordList::Clear() {
  Impl& m = *impl_;
  std::vector<Impl::Slot>().swap(m.slots);
  std::vector<uint32_t>(1, 0).swap(m.tree);
  std::unordered_map<int32_t, Impl::Chain>().swap(m.chains);
  m.live = 0;
  m.dead = 0;
}

RecordList& DesktopRecords() {
  static RecordList list;
  return list;
}

void SortRecordsByDate() { DesktopRecords().SortByDate(); }

}  // namespace bolvarin
