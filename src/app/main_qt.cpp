// qvlink: the operator's dialog in Qt. The toolkit starts first; then the application, the
// settings and the dialog are made in that order, live for the whole program and end in
// reverse order. --help and --version are answered before the toolkit starts, so that they need
// no display.
#include <QApplication>
#include <QMessageBox>

#include "dialog_arguments.h"
#include "link_settings.h"
#include "qt_dialog_window.h"
#include "upgrade_app.h"
#include "upgrade_dialog.h"

int main(int argc, char** argv) {
    if (const auto status = qvlink::AnswerDialogArguments(argc, argv)) return *status;
    QApplication toolkit(argc, argv);
    qvlink::UpgradeApp app(
        [](qvlink::UpgradeDialog& dialog) {
            qvlink::QtDialogWindow window(dialog);
            window.exec();
        },
        [](const std::string& text, const std::string& caption) {
            qvlink::MakeMessageBox(qvlink::BoxKind::Plain, QString::fromStdString(text),
                                   QString::fromStdString(caption), nullptr)
                ->exec();
        });
    qvlink::LinkSettings settings;
    qvlink::UpgradeDialog dialog(settings.selectedPort);
    return app.InitInstance(settings, dialog);
}
