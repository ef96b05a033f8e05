// The modal boxes of the Windows dialog and the station window: the three kinds of message box,
// the firmware chooser and the record chooser. Each returns when the operator has dismissed it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "dialog_view.h"

namespace qvlink {

// A box with one OK button. Dialog: owned by `dialog`, caption "Quorvane Link 1.1", no icon;
// Application: owned by `dialog`, the program file's name without folder and extension as
// caption, exclamation icon; Plain: no owner, `plainCaption`, no icon.
void ShowMessageBox(HWND dialog, BoxKind kind, const std::string& text,
                    const std::string& plainCaption);

// The open-file chooser, owned by `dialog`, with the name box holding "quorvane.bin", one
// filter "quorvane upgrade file(*.bin)" and the title "open quorvane upgrade file(*.bin)".
// The chosen file's full path in UTF-8, or nullopt when the operator did not confirm one.
std::optional<std::string> ChooseFirmwareFile(HWND dialog);

// The save-file chooser for a station's record, owned by `owner`: a file to append to, which
// may exist (no overwrite question) or not yet; "*.jsonl" offered. It leaves the current folder
// as it was, since the station's settings and relative paths are read from there. The full
// path in UTF-8, or nullopt when the operator did not confirm one.
std::optional<std::string> ChooseRecordFile(HWND owner);

}  // namespace qvlink
