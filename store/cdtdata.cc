#include "store/cdtdata.h"

#include "base/error.h"
#include "conduit/mod_public.h"
#include "conduit/platform.h"
#include "lists/cdtcategories.h"

namespace bolvarin {

bool DeleteDefinitively = false;

void SortRecordsByDate() {}

DateTime LineDate(const std::string&) { Raise(err::kPlatform, "LineDate is not built yet"); }

CDtData::CDtData(Platform& platform) : platform_(platform) {}
CDtData::~CDtData() = default;
bool CDtData::OpenDatabase(const std::string&, const std::string&) {
  Raise(err::kPlatform, "OpenDatabase is not built yet");
}
bool CDtData::CreateDatabase(const std::string&, const std::string&) {
  Raise(err::kPlatform, "CreateDatabase is not built yet");
}
Bytes CDtData::ReadByIndex(int32_t, TaggedValue&, int32_t&, int32_t&) {
  Raise(err::kPlatform, "ReadByIndex is not built yet");
}
void CDtData::WriteRecord(const TaggedValue&, int32_t, int32_t, const Bytes&) {
  Raise(err::kPlatform, "WriteRecord is not built yet");
}
void CDtData::RemoveAllDeletedRecords() {
  Raise(err::kPlatform, "RemoveAllDeletedRecords is not built yet");
}
void CDtData::RemoveAllRecords() { Raise(err::kPlatform, "RemoveAllRecords is not built yet"); }
int32_t CDtData::RecordCount() const { Raise(err::kPlatform, "RecordCount is not built yet"); }
std::shared_ptr<CDtCategories> CDtData::Categories() {
  Raise(err::kPlatform, "Categories is not built yet");
}
PlatformUtility& CDtData::Converter() {
  if (!converter_) converter_ = platform_.NewPlatformUtility();
  return *converter_;
}
void CDtData::SetLocation(const std::string&, const std::string&) {}

}  // namespace bolvarin
