// qvlink-station: the production line's window on Linux. The settings kept in the start folder,
// then the command line, make the setup; the window presents the station's panel until it is
// closed, and the setup is kept again for the next start.
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "headless_station.h"
#include "host_name.h"
#include "program_version.h"
#include "qt_close_on_signal.h"
#include "qt_station_window.h"
#include "station_panel.h"
#include "station_startup.h"
#include "write_signals.h"

namespace {

// Answers a start that cannot go on: the reason, and the usage after a usage error.
int Refuse(const qvlink::Status& refused) {
    std::fprintf(stderr, "qvlink-station: %s\n%s", refused.ToString().c_str(),
                 refused.kind() == qvlink::StatusKind::Usage ? qvlink::StationUsage().c_str() : "");
    return qvlink::STATION_EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = qvlink::AnswerStationArguments(argc, argv)) return *status;
    qvlink::station::IgnoreWriteSignals();
    const std::vector<std::string> given(argv + 1, argv + argc);
    if (std::find(given.begin(), given.end(), "--headless") != given.end()) {
        // No window: no toolkit is started, so no display or GUI platform is needed.
        qvlink::StationStart start;
        if (const qvlink::Status refused = qvlink::BeginStation(given, &start); !refused.ok())
            return Refuse(refused);
        qvlink::cli::StdioSink sink;
        return qvlink::RunHeadlessStation(start, qvlink::ServiceManager::FromEnvironment(), sink);
    }
    QApplication application(argc, argv);  // takes its own options (-platform, ...) out
    std::vector<std::string> arguments;
    for (const QString& argument : application.arguments().mid(1))
        arguments.push_back(argument.toStdString());
    qvlink::StationStart start;
    if (const qvlink::Status refused = qvlink::BeginStation(arguments, &start); !refused.ok())
        return Refuse(refused);

    qvlink::station::SystemClock clock;
    qvlink::QtStationWindow window;
    qvlink::StationPanel panel(
        window, clock,
        {"qvlink-station", qvlink::ProgramVersion(), qvlink::station::HostName(), {}});
    window.Attach(&panel);
    if (!start.notice.empty()) window.ShowNotice(start.notice);
    panel.Open(start.setup);
    window.show();
    qvlink::CloseOnTerminationSignals(window);
    if (start.arguments.start) QTimer::singleShot(0, &window, [&panel] { panel.StartAll(); });
    const int status = application.exec();
    if (const qvlink::Status saved = qvlink::EndStation(start, panel.Setup()); !saved.ok())
        std::fprintf(stderr, "qvlink-station: %s\n", saved.ToString().c_str());
    return status;
}
