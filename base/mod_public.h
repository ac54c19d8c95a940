// Process-wide state shared by the engine, the stores and the lists.
#pragma once

namespace bolvarin {

// True when replaced desktop files are deleted for good, false when they go
// to the trash. Set by CSync::SYNCHRONIZE at the start of every run.
extern bool DeleteDefinitively;

}  // namespace bolvarin
