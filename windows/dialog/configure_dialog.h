// The configuration window of the Windows build: a real dialog, made from
// the IDD_CONFIGURE template, that FConfigure drives through ConfigureView.
//
// The window has no owner and runs its own message loop until the form is
// unloaded; while it runs, the thread's other top-level windows are disabled,
// so it is modal for the thread. Captions and messages arrive as UTF-8 and
// are shown as UTF-16; the program boxes and the file picker hold the
// settings' own text, in the ANSI code page.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "config/configure_view.h"
#include "config/fconfigure.h"
#include "config/texts.h"

namespace bolvarin::win {

// Shows the save-style picker for a browse button.
using FilePicker = std::function<void(FilePickRequest&)>;

// The dialog over the resources of `resources` (the module that holds the
// IDD_CONFIGURE template, its pictures and its texts). Without a picker, the
// browse buttons show the system's save dialog through Dialogue.
std::unique_ptr<ConfigureView> MakeConfigureDialog(HINSTANCE resources, FilePicker picker = {});

// The string table compiled into a module's resources, as UTF-8.
StringTable ResourceTexts(HINSTANCE module);

// The module's name (its file name without extension), folder, version
// comment and version numbers, from its file name and version resource.
ModuleInfo ModuleInfoOf(HINSTANCE module);

// Makes FConfigureWindow create this dialog, with the module's texts and
// version, on first use. Only the first call in a process installs it.
void UseConfigureDialog(HINSTANCE module);

}  // namespace bolvarin::win
