#include "handheld/device.h"

#include "base/error.h"

namespace bolvarin::handheld {

size_t Database::RecordCount() const { return Records().size(); }
const Record* Database::Find(int32_t) const { return nullptr; }
Record* Database::Find(int32_t) { return nullptr; }
int32_t Database::Append(Record) { Raise(err::kPlatform, "Append is not built yet"); }
bool Database::Remove(int32_t) { return false; }
void Database::RemoveAll() {}
void Database::PurgeDeleted() {}
const std::vector<Record>& Database::Records() const { return records_; }
int32_t Database::NewId() { return ++nextId_; }
void Database::Compact() const {}

Database* Device::FindDatabase(const std::string&) { return nullptr; }
Preference* Device::FindPreference(const std::string&, int32_t) { return nullptr; }
Device Device::FromJson(const std::string&, const std::string&) {
  throw ImageError("FromJson is not built yet");
}
std::string Device::ToJson() const { throw ImageError("ToJson is not built yet"); }
Device Device::Load(const std::string&) { throw ImageError("Load is not built yet"); }
void Device::Save(const std::string&) const { throw ImageError("Save is not built yet"); }

int32_t PackCode(const std::string& code) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | (i < code.size() ? uint8_t(code[i]) : 0x20);
  return static_cast<int32_t>(v);
}
std::string UnpackCode(int32_t code) {
  std::string s(4, ' ');
  uint32_t v = static_cast<uint32_t>(code);
  for (int i = 3; i >= 0; --i, v >>= 8) s[i] = static_cast<char>(v & 0xFF);
  return s;
}

}  // namespace bolvarin::handheld
