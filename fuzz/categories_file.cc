// "categories.txt": loading it and writing it back.
//
// A file that loads is written back so that it loads again with the same
// used slots (name, identifier, flag, in order) and is written back byte for
// byte the same. A file that does not load is never replaced.
#include <tuple>

#include "base/mod_public.h"
#include "base/text.h"
#include "fuzz/fuzz_support.h"
#include "lists/cdtcategories.h"

using namespace bolvarin;

namespace {

using Slots = std::vector<std::tuple<std::string, int, bool>>;

// Loads the folder's file and saves it (which does nothing for a file that
// did not load): the slots with a name, in order, as the file keeps them.
std::optional<Slots> LoadAndSave(const std::string& folder, std::string& failure) {
  CDtCategories categories;
  categories.Create(folder);
  failure = categories.LoadFailure();
  Slots used;
  for (int16_t k = 0; failure.empty() && k < kCategorySlots; ++k) {
    std::string name = categories.Name(k);
    fuzz::Require(name.size() == kCategoryNameLength, "a slot name is not 15 characters long");
    if (!TrimBlanks(name).empty()) used.emplace_back(name, categories.ID(k), categories.Dirty(k));
  }
  categories.Save();
  return failure.empty() ? std::optional(used) : std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = fuzz::CleanFolder() + "/";
  fuzz::CheckRewrite<Slots>(folder + kCategoriesFile,
                            std::string_view(reinterpret_cast<const char*>(data), size),
                            [&](std::string& failure) { return LoadAndSave(folder, failure); });
  return 0;
}
