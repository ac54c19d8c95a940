#include "conduit/csync.h"

#include <filesystem>

#include "base/error.h"
#include "base/host_events.h"
#include "base/mod_public.h"
#include "base/sync_type.h"
#include "base/text.h"
#include "conduit/conduit_info.h"
#include "config/settings.h"
#include "lists/cdtcategories.h"
#include "lists/preference_lists.h"
#include "os/file_lock.h"
#include "os/run_and_wait.h"
#include "os/temp_names.h"
#include "store/cdtdata.h"

namespace bolvarin {

CSync::CSync(Platform& platform) : platform_(platform) {}

// The desktop store is released first, while the run's objects (the log
// among them) still live and the desktop lock is still held, so that a data
// file that cannot be written is reported.
CSync::~CSync() { ReleasePcStore(); }

void CSync::SYNCHRONIZE() {
  DeleteDefinitively = UpperAscii(GetRegValue(kSettingsKey, "DEFINITIF")) == "OUI";

  {
    // The PlatformSystem object is needed only to reach the run's context.
    std::shared_ptr<PlatformSystem> system = platform_.NewPlatformSystem();
    context_ = system->GetSyncContext();
  }
  if (!context_) Raise(err::kObjectRequired, "The platform returned no synchronisation context");

  // Runs that move records work under the desktop lock from here on, the
  // pre-sync program included; without it they do nothing at all.
  const SyncType syncType{context_->SyncTypeCode()};
  if (MovesRecords(syncType) && !LockDesktop()) return;

  std::string presync = GetRegValue(kSettingsKey, "presync");
  if (!TrimBlanks(presync).empty()) {
    std::string path = context_->DesktopPath();
    std::string name = context_->DesktopFileName();
    // The data file's path travels as one argument, blanks and all. A program
    // that cannot be started is not reported: the run goes on.
    RunAndWait(presync, JoinDesktopPath(path, name));
  }

  ProcessPendingMessages();

  switch (syncType) {
    case SyncType::kFast:
    case SyncType::kSlow:
    case SyncType::kHandheldToPc:
    case SyncType::kPcToHandheld:
      SyncStandard();
      break;
    case SyncType::kInstall:
    case SyncType::kInstallOther:
      SyncInstall();
      break;
    case SyncType::kBackup:
      SyncBackup();
      break;
    case SyncType::kDoNothing:
      SyncDoNothing();
      break;
    default:
      break;  // an unknown kind of run ends silently
  }
}

void CSync::SyncStandard() {
  try {
    Log(" " + VersionText(), -1, 0, 0);

    const int16_t count = context_->DatabaseCount();
    // The list is read once, and only when there is a database to open.
    std::vector<std::string> names;
    if (count > 0) names = context_->DatabaseNames();
    for (int16_t index = 0; index < count; ++index) {
      if (static_cast<size_t>(index) >= names.size()) {
        Raise(err::kSubscriptOutOfRange,
              "Database " + std::to_string(index) + " is not in the run's database list (" +
                  std::to_string(names.size()) + " names for a count of " + std::to_string(count) +
                  ")");
      }
      // Every entry opens the ledger database; a second pass over it would
      // load the desktop file into the record list again and double it.
      if (ledgerDone_) continue;
      ledgerDone_ = true;
      // Nothing moves, on either side, when the run's result could not be
      // written to the desktop.
      if (!PcStoreWritable()) continue;

      OpenHandheldDatabase(names[static_cast<size_t>(index)]);
      bool created = false;
      OpenPcStore(created);
      SyncCategories();

      if (pcStoreUnreadable_) continue;  // already logged by OpenPcStore
      switch (SyncType{context_->SyncTypeCode()}) {
        case SyncType::kFast:
          FastSync();
          break;
        case SyncType::kSlow:
          SyncSlow();
          break;
        case SyncType::kHandheldToPc:
          CopyToPc();
          break;
        case SyncType::kPcToHandheld:
          CopyToHandheld();
          break;
        default:
          break;
      }
    }

    Services().AddLogEntry("Ok " + ExeName() + "\n", -1, 0, -1);
  } catch (const std::exception& e) {
    LogError(" - SuncStandard - ", e);
  }
}

bool CSync::LockDesktop() {
  int16_t count = 1;
  try {
    count = context_->DatabaseCount();
  } catch (const std::exception&) {
    // SyncStandard reads it again and reports the failure.
  }
  if (count <= 0) return true;  // no database, so no desktop file either

  const std::string path = context_->DesktopPath();
  const std::string dataFile = JoinDesktopPath(path, context_->DesktopFileName());
  try {
    desktopLock_ = std::make_unique<FileLock>(LockFileOf(dataFile), ExeName() + " synchronisation");
  } catch (const ConduitError& e) {
    Log(" - SYNCHRONIZE - " + e.description(), -1, -1, 0);
    return false;
  }

  // A run killed while replacing one of its files left the new version's
  // temporary file behind; no one else writes these files now.
  namespace fs = std::filesystem;
  const fs::path data(dataFile);
  RemoveLeftoverTemporaries(data.parent_path().string(), {data.filename().string()}, false);
  const std::string folder =
      fs::path(JoinDesktopPath(path, kCategoriesFile)).parent_path().string();
  RemoveLeftoverTemporaries(folder, {kCategoriesFile}, false);
  RemoveLeftoverTemporaries(folder, {kModeFile.readName, kTypeFile.readName, kDescFile.readName},
                            true);
  return true;
}

void CSync::SyncInstall() { Log(" - Sync configured to Install", -1, -1, 0); }
void CSync::SyncBackup() { Log(" - Sync configured to Backup", -1, -1, 0); }
void CSync::SyncDoNothing() { Log(" - Sync configured to Do Nothing", -1, -1, 0); }
void CSync::SyncSlow() { Log(" - Sync configured to Slow Sync", -1, -1, 0); }

ConduitServices& CSync::Services() {
  if (!services_) services_ = platform_.NewConduitServices();
  if (!services_) Raise(err::kObjectRequired, "The platform returned no ConduitServices object");
  return *services_;
}

PlatformUtility& CSync::Utility() {
  if (!utility_) utility_ = platform_.NewPlatformUtility();
  if (!utility_) Raise(err::kObjectRequired, "The platform returned no PlatformUtility object");
  return *utility_;
}

HXRecordAdapter& CSync::Adapter() {
  if (!adapter_) {
    Raise(err::kObjectRequired, std::string("The handheld database \"") + kLedgerDatabase +
                                    "\" could not be opened or created" +
                                    (adapterFailure_.empty() ? "" : " (" + adapterFailure_ + ")"));
  }
  return *adapter_;
}

CDtData& CSync::PcData() {
  if (!pcData_) pcData_ = std::make_unique<CDtData>(platform_);
  return *pcData_;
}

void CSync::Log(const std::string& text, int32_t a, int32_t b, int32_t c) {
  Services().AddLogEntry(ExeName() + text, a, b, c);
}

void CSync::LogError(const char* middle, const std::exception& error) {
  Log(middle + ErrorText(error), -1, -1, 0);
}

}  // namespace bolvarin
