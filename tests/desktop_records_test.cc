#include "store/desktop_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/error.h"

namespace bolvarin {
namespace {

colEnregistrement Entry(int32_t id, const std::string& text, int day) {
  return colEnregistrement{id, text, DateTime{2004, 1, day, 0, 0, 0}};
}

// Random operations on the list and on a plain vector must agree at every
// step: lookups find the first entry with an identifier, positions follow
// inserts and removals (dead slots and their squeezing), the sort is stable.
TEST(DesktopRecordsList, AgreesWithAPlainVector) {
  std::mt19937 rng(42);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  RecordList list;
  std::vector<colEnregistrement> model;
  auto find = [&](int32_t id) {
    auto it = std::find_if(model.begin(), model.end(), [&](auto& r) { return r.ID == id; });
    return it == model.end() ? 0 : static_cast<int32_t>(it - model.begin() + 1);
  };
  for (int step = 0; step < 20000; ++step) {
    const int32_t op = pick(0, 99), id = pick(0, 40), size = static_cast<int32_t>(model.size());
    const int32_t first = find(id), p = size > 0 ? pick(1, size) : 0;
    colEnregistrement e = Entry(pick(0, 1) ? id : pick(0, 40), std::to_string(step), pick(1, 28));
    if (op < 35) {
      list.Add(e);
      model.push_back(e);
    } else if (op < 50) {
      ASSERT_EQ(list.RemoveFirst(id), first != 0);
      if (first) model.erase(model.begin() + (first - 1));
    } else if (op < 60) {
      ASSERT_EQ(list.SetFirst(id, e), first != 0);
      if (first) model[first - 1] = e;
    } else if (op < 70 && p) {
      list.Remove(p);
      model.erase(model.begin() + (p - 1));
    } else if (op < 80 && p) {
      list.Set(p, e);
      model[p - 1] = e;
    } else if (op < 95) {
      ASSERT_EQ(list.FindFirst(id), first) << "step " << step;
      for (int32_t i = 1; i <= size; ++i) ASSERT_EQ(list.Item(i).Texte, model[i - 1].Texte) << i;
      ASSERT_THROW(list.Item(size + 1), ConduitError);
    } else if (op < 97) {
      try {  // at 95 the predicate throws part-way, which must leave every entry in place
        list.RemoveIf([&](const colEnregistrement& r, int32_t position) {
          EXPECT_EQ(r.Texte, model.at(position - 1).Texte);  // positions are those before the pass
          if (op == 95 && position == size) throw std::runtime_error("stop");
          return r.ID == id;
        });
        std::erase_if(model, [&](const colEnregistrement& r) { return r.ID == id; });
      } catch (const std::runtime_error&) {
      }
    } else if (op < 98) {
      list.SortByDate();
      std::ranges::stable_sort(model, {}, &colEnregistrement::lDate);
    } else {
      list.Truncate(p - 1);  // keeps 0 to size - 1 entries
      model.resize(static_cast<size_t>(std::max(p - 1, 0)));
    }
  }
}

// 200,000 entries that all share one identifier, as new desktop records do:
// a list that searched from the front, or shifted the list on every removal,
// would not finish in the test's time; positions or a sort limited to 16
// bits would fail.
TEST(DesktopRecordsList, LargeListStaysFastAndSortsStably) {
  constexpr int32_t kCount = 200000;
  RecordList list;
  for (int32_t i = 0; i < kCount; ++i) list.Add(Entry(0, std::to_string(i), 28 - i % 28));
  for (int32_t i = 0; i < kCount; i += 2) {
    // Number every other one, as the handheld does, then drop the first 0.
    ASSERT_TRUE(list.SetFirst(0, Entry(i + 1, std::to_string(i), 28 - i % 28)));
    ASSERT_EQ(list.FindFirst(i + 1), i / 2 + 1);
    ASSERT_TRUE(list.RemoveFirst(0));
  }
  for (int32_t i = 0; i < kCount / 8; ++i) list.Remove(1);  // from the front, as the engine may
  ASSERT_EQ(list.Count(), 3 * kCount / 8);
  EXPECT_EQ(list.Item(1).ID, kCount / 4 + 1);
  list.SortByDate();
  for (int32_t p = 1, previous = 0; p <= list.Count(); ++p) {
    const colEnregistrement& e = list.Item(p);
    ASSERT_EQ(list.FindFirst(e.ID), p);
    const int key = e.lDate.day * kCount + std::stoi(e.Texte);  // by date, then by old order
    ASSERT_LT(previous, key) << p;
    previous = key;
  }
}

}  // namespace
}  // namespace bolvarin
