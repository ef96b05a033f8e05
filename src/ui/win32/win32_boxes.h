// The modal boxes of the Windows dialog: the three kinds of message box and the firmware
// chooser. Each returns when the operator has dismissed it.
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

}  // namespace qvlink
