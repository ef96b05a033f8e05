// qvlink.exe: the operator's dialog on Windows. The application, the settings and the dialog
// are made in that order, live for the whole program and end in reverse order. The program
// takes no arguments but --help and --version, which it answers on stdout.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "dialog_arguments.h"
#include "link_settings.h"
#include "upgrade_app.h"
#include "upgrade_dialog.h"
#include "utf8_arguments.h"
#include "win32_boxes.h"
#include "win32_dialog_window.h"

namespace {

// A window program has no console of its own. Its stdout reaches a file or a pipe it was
// started with; otherwise the text goes to the console of the command prompt that started it.
void ReachParentConsole() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) std::freopen("CONOUT$", "w", stdout);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*arguments*/, int /*show*/) {
    if (__argc > 1) {
        ReachParentConsole();
        qvlink::Utf8Arguments arguments(__argc, __argv);
        if (const auto status = qvlink::AnswerDialogArguments(arguments.Argc(), arguments.Argv()))
            return *status;
    }
    qvlink::UpgradeApp app(
        [instance](qvlink::UpgradeDialog& dialog) {
            qvlink::Win32DialogWindow(dialog, instance).RunModal();
        },
        [](const std::string& text, const std::string& caption) {
            qvlink::ShowMessageBox(nullptr, qvlink::BoxKind::Plain, text, caption);
        });
    qvlink::LinkSettings settings;
    qvlink::UpgradeDialog dialog(settings.selectedPort);
    return app.InitInstance(settings, dialog);
}
