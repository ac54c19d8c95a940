// CSync::SyncCategories: brings the handheld's 16 category slots and the
// desktop table into line in the direction the run asks for.
#include <memory>
#include <vector>

#include "base/error.h"
#include "base/sync_type.h"
#include "conduit/csync.h"
#include "lists/cdtcategories.h"
#include "store/cdtdata.h"

namespace bolvarin {

namespace {

constexpr const char kMiddle[] = " - SyncCategories - ";

// The handheld gives identifiers as 32-bit numbers; the desktop slot holds
// one byte.
uint8_t SlotIdentifier(int32_t id, int slot) {
  if (id < 0 || id > 255) {
    Raise(err::kOverflow, "handheld category slot " + std::to_string(slot) + ": identifier " +
                              std::to_string(id) + " is outside 0 to 255");
  }
  return static_cast<uint8_t>(id);
}

// Copies handheld slots to the desktop (every slot, or only the changed
// ones). All of them are read and checked first, through a scratch table
// that is never written, so a slot that cannot be taken (an identifier
// beyond one byte, a name the file cannot hold, a failing read) leaves the
// desktop table as it was instead of half copied.
// Returns whether any slot was taken.
bool CopySlotsToDesktop(HandheldCategories& handheld, CDtCategories& desktop, bool onlyChanged) {
  CDtCategories scratch;  // never created from a folder, so never written
  std::vector<int16_t> taken;
  for (int slot = 0; slot < kCategorySlots; ++slot) {
    if (onlyChanged && !handheld.Dirty(slot)) continue;
    int16_t index = static_cast<int16_t>(slot);
    scratch.SetName(index, handheld.Name(slot));
    scratch.SetID(index, SlotIdentifier(handheld.ID(slot), slot));
    scratch.SetDirty(index, handheld.Dirty(slot));
    taken.push_back(index);
  }
  for (int16_t index : taken) {
    desktop.SetName(index, scratch.Name(index));
    desktop.SetID(index, scratch.ID(index));
    desktop.SetDirty(index, scratch.Dirty(index));
  }
  return !taken.empty();
}

// The desktop's leading run of changed slots goes to the handheld; the first
// clean slot ends it.
void DesktopToHandheldPass(HandheldCategories& handheld, const CDtCategories& desktop) {
  handheld.ResetDirtyFlags();
  handheld.Commit();
  int copied = 0;
  for (int slot = 0; slot < kCategorySlots; ++slot) {
    int16_t index = static_cast<int16_t>(slot);
    if (!desktop.Dirty(index)) break;
    handheld.SetName(slot, desktop.Name(index));
    handheld.SetID(slot, desktop.ID(index));
    handheld.SetDirty(slot, desktop.Dirty(index));
    ++copied;
  }
  handheld.SetLastIndex(copied - 1);
  handheld.Commit();
}

}  // namespace

void CSync::SyncCategories() {
  std::shared_ptr<HandheldCategories> handheld;
  std::shared_ptr<CDtCategories> desktop;
  try {
    handheld = Adapter().Categories();
    if (!handheld) Raise(err::kObjectRequired, "the handheld database has no category list");
    desktop = PcData().Categories();
    const SyncType syncType{context_->SyncTypeCode()};

    // A category file that is there but cannot be read is left exactly as
    // it is, and neither side's categories change in this run: merging
    // against the fallback table would overwrite the user's categories.
    if (!desktop->LoadFailure().empty()) {
      Raise(err::kBadLine, "categories not synchronised, the category file is left as it is: " +
                               desktop->LoadFailure());
    }

    switch (syncType) {
      case SyncType::kFast:
        // The slots the handheld changed reach the desktop's file before
        // the handheld forgets they changed: a run cut in between would
        // otherwise lose them on both sides' next run.
        if (CopySlotsToDesktop(*handheld, *desktop, true)) desktop->Save();
        DesktopToHandheldPass(*handheld, *desktop);
        break;
      case SyncType::kHandheldToPc:
        CopySlotsToDesktop(*handheld, *desktop, false);
        break;
      case SyncType::kPcToHandheld:
        DesktopToHandheldPass(*handheld, *desktop);
        break;
      default:
        break;
    }
  } catch (const std::exception& e) {
    LogError(kMiddle, e);
  }

  // Release the handheld object, then write the desktop table as it stands
  // now (after a failure too, when it holds what it was read with).
  handheld.reset();
  if (desktop) {
    try {
      desktop->Save();
    } catch (const std::exception& e) {
      LogError(kMiddle, e);
    }
    desktop.reset();
  }
}

}  // namespace bolvarin
