// qvlink.exe: the operator's dialog on Windows. The application, the settings and the dialog
// are made in that order, live for the whole program and end in reverse order. The program
// takes no arguments.
#include <windows.h>

#include "link_settings.h"
#include "upgrade_app.h"
#include "upgrade_dialog.h"
#include "win32_boxes.h"
#include "win32_dialog_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*arguments*/, int /*show*/) {
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
