#include "store/desktop_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "base/error.h"

namespace bolvarin {
namespace {

colEnregistrement Entry(int32_t id, const std::string& text, int day = 1) {
  colEnregistrement e;
  e.ID = id;
  e.Texte = text;
  e.lDate = DateTime{2004, 1, day, 0, 0, 0};
  return e;
}

// The list's content as "id:text" items, in list order.
std::vector<std::string> Contents(const RecordList& list) {
  std::vector<std::string> out;
  for (int32_t i = 1; i <= list.Count(); ++i) {
    out.push_back(std::to_string(list.Item(i).ID) + ":" + list.Item(i).Texte);
  }
  return out;
}

using Strings = std::vector<std::string>;

TEST(DesktopRecordsList, PositionsAndFirstEntryOfAnIdentifier) {
  RecordList list;
  list.Add(Entry(5, "a"));
  list.Add(Entry(7, "b"));
  list.Add(Entry(5, "c"));
  list.Add(Entry(0, "d"));
  list.Add(Entry(0, "e"));
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.FindFirst(5), 1);
  EXPECT_EQ(list.FindFirst(0), 4);
  EXPECT_EQ(list.FindFirst(9), 0);

  list.Remove(1);  // the first 5 goes: the second becomes the first
  EXPECT_EQ(list.FindFirst(5), 2);
  EXPECT_EQ(list.FindFirst(7), 1);
  EXPECT_EQ(Contents(list), (Strings{"7:b", "5:c", "0:d", "0:e"}));

  EXPECT_TRUE(list.SetFirst(0, Entry(0, "D")));
  EXPECT_TRUE(list.RemoveFirst(7));
  EXPECT_FALSE(list.RemoveFirst(7));
  EXPECT_FALSE(list.SetFirst(7, Entry(7, "x")));
  EXPECT_EQ(Contents(list), (Strings{"5:c", "0:D", "0:e"}));
  EXPECT_EQ(list.FindFirst(0), 2);
}

TEST(DesktopRecordsList, SetMovesAnEntryBetweenIdentifiers) {
  RecordList list;
  for (int i = 0; i < 6; ++i) list.Add(Entry(i % 2 == 0 ? 0 : 9, "t" + std::to_string(i)));
  // 0 9 0 9 0 9: position 3 takes identifier 9, position 2 identifier 4.
  list.Set(3, Entry(9, "n3"));
  EXPECT_EQ(list.FindFirst(9), 2);
  list.Set(2, Entry(4, "n2"));
  EXPECT_EQ(list.FindFirst(9), 3);  // the entry that changed is now the first 9
  EXPECT_EQ(list.FindFirst(4), 2);
  EXPECT_EQ(list.FindFirst(0), 1);
  list.Set(1, Entry(11, "n1"));
  EXPECT_EQ(list.FindFirst(0), 5);
  EXPECT_EQ(Contents(list), (Strings{"11:n1", "4:n2", "9:n3", "9:t3", "0:t4", "9:t5"}));
}

TEST(DesktopRecordsList, OutOfRangePositionsNameThePositionAndCount) {
  RecordList list;
  list.Add(Entry(1, "a"));
  for (int32_t position : {0, 2, -1}) {
    try {
      list.Item(position);
      ADD_FAILURE() << position;
    } catch (const ConduitError& e) {
      EXPECT_EQ(e.number(), err::kSubscriptOutOfRange);
      EXPECT_NE(e.description().find("position " + std::to_string(position)), std::string::npos);
      EXPECT_NE(e.description().find("of 1 record"), std::string::npos) << e.description();
    }
  }
  EXPECT_THROW(list.Remove(2), ConduitError);
  EXPECT_THROW(list.Set(0, Entry(1, "x")), ConduitError);
  EXPECT_EQ(Contents(list), (Strings{"1:a"}));
}

TEST(DesktopRecordsList, RemoveIfSeesPositionsBeforeThePass) {
  RecordList list;
  for (int i = 1; i <= 6; ++i) list.Add(Entry(i, std::to_string(i)));
  list.Remove(1);  // leaves a dead slot in front
  std::vector<int32_t> seen;
  list.RemoveIf([&](const colEnregistrement& e, int32_t position) {
    seen.push_back(position);
    EXPECT_EQ(e.ID, position + 1);
    return position % 2 == 1;
  });
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Contents(list), (Strings{"3:3", "5:5"}));
  EXPECT_EQ(list.FindFirst(2), 0);
  EXPECT_EQ(list.FindFirst(5), 2);

  // A predicate that throws part-way leaves every entry in place.
  EXPECT_THROW(list.RemoveIf([](const colEnregistrement& e, int32_t) -> bool {
    if (e.ID == 5) throw std::runtime_error("stop");
    return true;
  }),
               std::runtime_error);
  EXPECT_EQ(Contents(list), (Strings{"3:3", "5:5"}));
}

TEST(DesktopRecordsList, SortByDateIsStable) {
  RecordList list;
  list.Add(Entry(1, "late", 9));
  list.Add(Entry(2, "same-a", 5));
  list.Add(Entry(3, "early", 2));
  list.Add(Entry(4, "same-b", 5));
  list.Add(Entry(2, "same-c", 5));
  list.RemoveFirst(3);
  list.Add(Entry(5, "earliest", 1));
  list.SortByDate();
  EXPECT_EQ(Contents(list), (Strings{"5:earliest", "2:same-a", "4:same-b", "2:same-c", "1:late"}));
  EXPECT_EQ(list.FindFirst(2), 2);
  EXPECT_EQ(list.FindFirst(1), 5);
}

TEST(DesktopRecordsList, TruncateAndClear) {
  RecordList list;
  for (int i = 1; i <= 5; ++i) list.Add(Entry(i % 2, std::to_string(i)));
  list.Remove(2);
  list.Truncate(2);  // keeps "1" and "3"
  EXPECT_EQ(Contents(list), (Strings{"1:1", "1:3"}));
  EXPECT_EQ(list.FindFirst(0), 0);
  list.Add(Entry(0, "6"));
  EXPECT_EQ(list.FindFirst(0), 3);
  list.Truncate(7);
  EXPECT_EQ(list.Count(), 3);
  list.Truncate(0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.FindFirst(1), 0);
  list.Add(Entry(1, "x"));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.FindFirst(1), 0);
  list.Add(Entry(1, "y"));
  EXPECT_EQ(Contents(list), (Strings{"1:y"}));
}

// Random operations on the list and on a plain vector must agree at every
// step; this covers the dead slots, their squeezing and the index.
TEST(DesktopRecordsList, AgreesWithAPlainVector) {
  std::mt19937 rng(42);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  RecordList list;
  std::vector<colEnregistrement> model;
  auto modelFind = [&](int32_t id) -> int32_t {
    for (size_t i = 0; i < model.size(); ++i) {
      if (model[i].ID == id) return static_cast<int32_t>(i + 1);
    }
    return 0;
  };
  int counter = 0;
  for (int step = 0; step < 20000; ++step) {
    int op = pick(0, 99);
    int32_t id = pick(0, 40);
    colEnregistrement e = Entry(id, "r" + std::to_string(counter++), pick(1, 28));
    auto size = static_cast<int32_t>(model.size());
    if (op < 35) {
      list.Add(e);
      model.push_back(e);
    } else if (op < 50) {
      bool found = list.RemoveFirst(id);
      int32_t p = modelFind(id);
      ASSERT_EQ(found, p != 0);
      if (p) model.erase(model.begin() + (p - 1));
    } else if (op < 60) {
      e.ID = pick(0, 1) ? id : pick(0, 40);
      bool found = list.SetFirst(id, e);
      int32_t p = modelFind(id);
      ASSERT_EQ(found, p != 0);
      if (p) model[static_cast<size_t>(p - 1)] = e;
    } else if (op < 70 && size > 0) {
      int32_t p = pick(1, size);
      list.Remove(p);
      model.erase(model.begin() + (p - 1));
    } else if (op < 80 && size > 0) {
      int32_t p = pick(1, size);
      list.Set(p, e);
      model[static_cast<size_t>(p - 1)] = e;
    } else if (op < 95) {
      ASSERT_EQ(list.FindFirst(id), modelFind(id)) << "step " << step;
      if (size > 0) {
        int32_t p = pick(1, size);
        ASSERT_EQ(list.Item(p).Texte, model[static_cast<size_t>(p - 1)].Texte);
      }
    } else if (op < 97) {
      list.RemoveIf([&](const colEnregistrement& r, int32_t) { return r.ID == id; });
      std::erase_if(model, [&](const colEnregistrement& r) { return r.ID == id; });
    } else if (op < 98) {
      list.SortByDate();
      std::stable_sort(model.begin(), model.end(),
                       [](const auto& a, const auto& b) { return a.lDate < b.lDate; });
    } else if (size > 0) {
      int32_t keep = pick(0, size);
      list.Truncate(keep);
      model.resize(static_cast<size_t>(keep));
    }
    ASSERT_EQ(list.Count(), static_cast<int32_t>(model.size())) << "step " << step;
  }
  ASSERT_EQ(list.Count(), static_cast<int32_t>(model.size()));
  for (int32_t i = 1; i <= list.Count(); ++i) {
    EXPECT_EQ(list.Item(i).Texte, model[static_cast<size_t>(i - 1)].Texte);
    EXPECT_EQ(list.Item(i).ID, model[static_cast<size_t>(i - 1)].ID);
  }
  for (int32_t id = 0; id <= 40; ++id) EXPECT_EQ(list.FindFirst(id), modelFind(id)) << id;
}

// 200,000 entries that all share one identifier (new desktop records carry
// 0): a list that searched from the front, or shifted the list on every
// removal, would take hours here.
TEST(DesktopRecordsList, LargeListStaysFast) {
  constexpr int32_t kCount = 200000;
  auto start = std::chrono::steady_clock::now();
  RecordList list;
  for (int32_t i = 0; i < kCount; ++i) list.Add(Entry(0, "line"));
  for (int32_t i = 0; i < kCount; i += 2) {
    // Number every other one, as the handheld does, then drop the first 0.
    list.SetFirst(0, Entry(i + 1, "numbered"));
    ASSERT_EQ(list.FindFirst(i + 1), i / 2 + 1);
    list.RemoveFirst(0);
  }
  ASSERT_EQ(list.Count(), kCount / 2);
  EXPECT_EQ(list.FindFirst(0), 0);
  for (int32_t p = 1; p <= list.Count(); p += 997) EXPECT_EQ(list.Item(p).ID, 2 * p - 1);
  // Removing from the front by position, as the engine's second pass may.
  for (int32_t i = 0; i < kCount / 4; ++i) list.Remove(1);
  EXPECT_EQ(list.Item(1).ID, kCount / 2 + 1);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 30.0);
}

}  // namespace
}  // namespace bolvarin
