// CSync: the synchronisation engine. One object lives for exactly one run.
//
// SYNCHRONIZE reads the settings, obtains the run's SyncContext, starts the
// pre-sync program and dispatches on the sync type. SyncStandard walks the
// databases, opens both sides, synchronises the categories and runs the
// record procedure of the requested kind. Procedures that do real work catch
// their own errors, write one log line and return, so the run goes on.
//
// The procedures live in conduit/, one file per kind of work; the stores and
// lists they drive sit in the folders below (store/, lists/).
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "base/platform.h"

namespace bolvarin {

class CDtData;
class FileLock;

class CSync {
 public:
  explicit CSync(Platform& platform);
  ~CSync();
  CSync(const CSync&) = delete;
  CSync& operator=(const CSync&) = delete;

  void SYNCHRONIZE();

  // A fast sync writes every live desktop record to the handheld, also those
  // it already holds clean and identical. Off by default: the outcome is the
  // same and each write costs a round trip over the link. The tests compare
  // the two ways.
  void RewriteUnchangedRecords(bool on) { rewriteUnchanged_ = on; }

 private:
  // conduit/csync.cc
  void SyncStandard();
  void SyncInstall();
  void SyncBackup();
  void SyncDoNothing();
  void SyncSlow();
  // Takes the desktop lock for a run that moves records; false (logged)
  // when it cannot be had.
  bool LockDesktop();
  // conduit/open_databases.cc
  void OpenHandheldDatabase(const std::string& name);
  void OpenPcStore(bool& created);
  // False, after one error line naming the data file and the reason, when
  // the data file could not be replaced at the end of the run; the database
  // is then left alone, the handheld included.
  bool PcStoreWritable();
  // Releases the desktop store, which writes the data file; a failure is
  // logged. Called when the engine is released.
  void ReleasePcStore();
  // conduit/fast_sync.cc
  void FastSync();
  // conduit/one_way_copies.cc
  void CopyToPc();
  void CopyToHandheld();
  // conduit/category_sync.cc
  void SyncCategories();
  // conduit/preference_sync.cc
  void RestorePreference();
  void SavePreference();
  void SyncPreference();

  // Objects created on first use, then kept for the run.
  ConduitServices& Services();
  // The open handheld database; raises an object-required error when
  // opening and creating it both failed.
  HXRecordAdapter& Adapter();
  PlatformUtility& Utility();
  CDtData& PcData();

  // A desktop record new to the handheld (identifier 0) received `id`:
  // field 0 of its line, its ID and its date are brought in step.
  void WriteBackIdentifier(int32_t position, const TaggedValue& id);

  // Writes a log line: the executable name followed by `text`.
  void Log(const std::string& text, int32_t a, int32_t b, int32_t c);
  // The error line of a procedure's handler: name, middle piece, error text.
  void LogError(const char* middle, const std::exception& error);

  Platform& platform_;
  // The lock on the desktop data file, held from before any desktop file or
  // the handheld is touched until the engine goes. Declared before the
  // store, so it is released after the store has written the data file.
  std::unique_ptr<FileLock> desktopLock_;
  // The fields of the engine, in their order.
  std::shared_ptr<SyncContext> context_;
  std::shared_ptr<ConduitServices> services_;
  std::shared_ptr<HXRecordAdapter> adapter_;
  // Why the last OpenHandheldDatabase left no adapter: the platform's
  // descriptions of the failed open and create.
  std::string adapterFailure_;
  std::shared_ptr<PlatformUtility> utility_;
  std::unique_ptr<CDtData> pcData_;

  // The ledger database is handled once per run, however often the run's
  // database list names it.
  bool ledgerDone_ = false;
  // The desktop data file exists but could not be read: its records are not
  // synchronised in this run.
  bool pcStoreUnreadable_ = false;
  bool rewriteUnchanged_ = false;
};

}  // namespace bolvarin
