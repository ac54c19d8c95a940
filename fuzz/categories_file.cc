// "categories.txt": loading it and writing it back.
//
// A file that loads is written back so that it loads again with the same
// used slots (name, identifier, flag, in order) and is written back byte for
// byte the same. A file that does not load is never replaced.
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "base/mod_public.h"
#include "base/text.h"
#include "fuzz/fuzz_support.h"
#include "lists/cdtcategories.h"

using namespace bolvarin;

namespace {

using Slots = std::vector<std::tuple<std::string, int, bool>>;

// The slots with a name, in order: what the file keeps.
Slots UsedSlots(const CDtCategories& categories) {
  Slots used;
  for (int16_t k = 0; k < kCategorySlots; ++k) {
    std::string name = categories.Name(k);
    fuzz::Require(name.size() == kCategoryNameLength, "a slot name is not 15 characters long");
    if (TrimBlanks(name).empty()) continue;
    used.emplace_back(name, categories.ID(k), categories.Dirty(k));
  }
  return used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DeleteDefinitively = true;  // old files need not go to a trash here
  const std::string folder = fuzz::CleanFolder() + "/";
  const std::string path = folder + kCategoriesFile;
  const std::string input(reinterpret_cast<const char*>(data), size);
  fuzz::WriteFile(path, input);

  Slots first;
  bool refused = false;
  {
    CDtCategories categories;
    categories.Create(folder);
    refused = !categories.LoadFailure().empty();
    if (!refused) first = UsedSlots(categories);
    categories.Save();  // does nothing for a file that did not load
  }
  const std::string written = fuzz::ReadFile(path);
  if (refused) {
    fuzz::Require(written == input, "a categories file that does not load was changed");
    return 0;
  }

  CDtCategories again;
  again.Create(folder);
  fuzz::Require(again.LoadFailure().empty(), "the written file " + fuzz::Show(written) +
                                                 " does not load: " + again.LoadFailure());
  fuzz::Require(UsedSlots(again) == first, "the written file " + fuzz::Show(written) +
                                               " loads other slots than " + fuzz::Show(input));
  again.Save();
  fuzz::Require(fuzz::ReadFile(path) == written, "a second save changes " + fuzz::Show(written));
  return 0;
}
