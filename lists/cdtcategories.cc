#include "lists/cdtcategories.h"

#include "base/error.h"

namespace bolvarin {

CDtCategories::CDtCategories() = default;
CDtCategories::~CDtCategories() = default;
void CDtCategories::Create(const std::string&) {
  Raise(err::kPlatform, "CDtCategories::Create is not built yet");
}
void CDtCategories::CheckIndex(int16_t nIndex) {
  if (nIndex < 0 || nIndex >= kCategorySlots) Raise(err::kSubscriptOutOfRange, "bad slot");
}
void CDtCategories::ResetDirtyFlags() {}
std::string CDtCategories::Name(int16_t nIndex) const {
  CheckIndex(nIndex);
  return slots_[nIndex].name;
}
void CDtCategories::SetName(int16_t nIndex, const std::string&) { CheckIndex(nIndex); }
uint8_t CDtCategories::ID(int16_t nIndex) const {
  CheckIndex(nIndex);
  return slots_[nIndex].id;
}
void CDtCategories::SetID(int16_t nIndex, uint8_t) { CheckIndex(nIndex); }
bool CDtCategories::Dirty(int16_t nIndex) const {
  CheckIndex(nIndex);
  return slots_[nIndex].dirty;
}
void CDtCategories::SetDirty(int16_t nIndex, bool) { CheckIndex(nIndex); }

}  // namespace bolvarin
