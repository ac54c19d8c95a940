#include "store/desktop_records.h"

#include "base/error.h"

namespace bolvarin {

struct RecordList::Impl {};

RecordList::RecordList() : impl_(std::make_unique<Impl>()) {}
RecordList::~RecordList() = default;
int32_t RecordList::Count() const { Raise(err::kPlatform, "RecordList is not built yet"); }
const colEnregistrement& RecordList::Item(int32_t) const {
  Raise(err::kPlatform, "RecordList is not built yet");
}
void RecordList::Add(colEnregistrement) { Raise(err::kPlatform, "RecordList is not built yet"); }
void RecordList::Set(int32_t, colEnregistrement) {
  Raise(err::kPlatform, "RecordList is not built yet");
}
void RecordList::Remove(int32_t) { Raise(err::kPlatform, "RecordList is not built yet"); }
int32_t RecordList::FindFirst(int32_t) const {
  Raise(err::kPlatform, "RecordList is not built yet");
}
void RecordList::RemoveIf(const std::function<bool(const colEnregistrement&, int32_t)>&) {
  Raise(err::kPlatform, "RecordList is not built yet");
}
void RecordList::SortByDate() { Raise(err::kPlatform, "RecordList is not built yet"); }
void RecordList::Truncate(int32_t) { Raise(err::kPlatform, "RecordList is not built yet"); }
void RecordList::Clear() { Raise(err::kPlatform, "RecordList is not built yet"); }

RecordList& DesktopRecords() {
  static RecordList list;
  return list;
}

}  // namespace bolvarin
