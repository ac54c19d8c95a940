// Opening both sides of the ledger before its categories and records move.
#include "base/error.h"
#include "base/mod_public.h"
#include "base/text.h"
#include "conduit/conduit_info.h"
#include "conduit/csync.h"
#include "os/files.h"
#include "store/cdtdata.h"

namespace bolvarin {

void CSync::OpenHandheldDatabase(const std::string& /*name*/) {
  // Every entry of the run's list opens the ledger database, whatever its
  // name. Each step that fails is skipped and nothing is logged here: a
  // missing adapter is reported by the first procedure that needs it, with
  // the platform's reasons for the failed open and create kept for it.
  adapterFailure_.clear();
  try {
    adapter_ = Services().OpenDatabase(kLedgerDatabase, kRecordAdapterProgId, kDatabaseMode);
    return;
  } catch (const std::exception& e) {
    adapterFailure_ = "opening it: " + ErrorText(e);
  }

  // First synchronisation: the database does not exist yet on the handheld.
  std::string creator;
  std::string type;
  try {
    creator = Utility().CodeToText(context_->CreatorCode(), -1);
  } catch (const std::exception&) {
  }
  try {
    type = Utility().CodeToText(context_->TypeCode(), -1);
  } catch (const std::exception&) {
  }
  try {
    adapter_ =
        Services().CreateDatabase(kLedgerDatabase, kRecordAdapterProgId, TaggedValue::Text(creator),
                                  TaggedValue::Text(type), kDatabaseMode, 0, 1, 0);
  } catch (const std::exception& e) {
    adapterFailure_ += "; creating it: " + ErrorText(e);
  }
}

void CSync::OpenPcStore(bool& created) {
  created = false;
  std::string path = context_->DesktopPath();
  std::string name = context_->DesktopFileName();
  CDtData& store = PcData();
  if (store.OpenDatabase(path, name)) {
    if (!store.JournalProblem().empty())
      Log(" - OpenPcStore - " + store.JournalProblem(), -1, -1, 0);
    return;
  }

  if (!store.FileMissing()) {
    // The file is there but does not read as ledger lines. It is left exactly
    // as it is (the store will not replace it) and its records sit this run out.
    pcStoreUnreadable_ = true;
    Log(" - OpenPcStore - " + store.OpenFailure() +
            "; the file is left unchanged and its records are not synchronised",
        -1, -1, 0);
    return;
  }
  created = store.CreateDatabase(context_->DesktopPath(), context_->DesktopFileName());
}

bool CSync::PcStoreWritable() {
  const std::string dataFile =
      JoinDesktopPath(context_->DesktopPath(), context_->DesktopFileName());
  const std::string why = WhyCannotReplace(dataFile, DeleteDefinitively);
  if (why.empty()) return true;
  Log(" - OpenPcStore - Cannot write \"" + dataFile + "\": " + why +
          "; nothing is synchronised for this database in this run",
      -1, -1, 0);
  return false;
}

void CSync::ReleasePcStore() {
  if (!pcData_) return;
  try {
    pcData_->Release();
  } catch (const std::exception& e) {
    try {
      LogError(" - SavePcStore - ", e);
    } catch (...) {
      // No log to write to: the store has kept its lines in a copy.
    }
  } catch (...) {
  }
}

}  // namespace bolvarin
