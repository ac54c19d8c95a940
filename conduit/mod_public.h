// Process-wide state and procedures shared by the engine and the stores.
#pragma once

namespace bolvarin {

// True when replaced desktop files are deleted for good, false when they go
// to the trash. Set by CSync::SYNCHRONIZE at the start of every run.
extern bool DeleteDefinitively;

// Puts DesktopRecords in ascending order of lDate; entries with equal dates
// keep their order.
void SortRecordsByDate();

}  // namespace bolvarin
