// The station window at work: the Qt window and its panel, as qvlink-station runs them, serving
// one receiver on each port given. Prints the process's CPU time as a share of one core while
// the receivers are served, and how often the busiest tile was repainted each second (paints of
// a tile and its parts within 20 ms of each other are one repaint). The receivers' own times are
// in the record. With --stop-after S it presses Stop all after S seconds of serving instead and
// prints how long it took until every tile showed a stopped port. Figures, not a pass/fail test.
// usage: station_window_bench [--stop-after S] RECORD FIRMWARE PORT...
#include <sys/resource.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "qt_station_tile.h"
#include "qt_station_window.h"
#include "station_panel.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Counts the repaints of each tile: a paint of the tile or of any part of it starts one unless
// one started within the last 20 ms.
class RepaintCounter final : public QObject {
  public:
    void Watch(QWidget* tile) {
        tile->installEventFilter(this);
        owner_[tile] = tile;
        for (QWidget* part : tile->findChildren<QWidget*>()) {
            part->installEventFilter(this);
            owner_[part] = tile;
        }
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            QObject* tile = owner_[watched];
            const auto now = Clock::now();
            if (now - last_[tile] > std::chrono::milliseconds(20)) {
                ++count_[tile];
                last_[tile] = now;
            }
        }
        return false;
    }
    int Busiest() const {
        int most = 0;
        for (const auto& [tile, count] : count_) most = std::max(most, count);
        return most;
    }

  private:
    std::map<QObject*, QObject*> owner_;
    std::map<QObject*, Clock::time_point> last_;
    std::map<QObject*, int> count_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    int first = 1;
    double stopAfter = 0;
    if (argc > 2 && std::string(argv[1]) == "--stop-after") {
        stopAfter = std::stod(argv[2]);
        first = 3;
    }
    if (argc < first + 3) {
        std::fputs("usage: station_window_bench [--stop-after S] RECORD FIRMWARE PORT...\n",
                   stderr);
        return 2;
    }
    qvlink::StationSetup setup;
    setup.recordPath = argv[first];
    setup.firmwarePath = argv[first + 1];
    for (int i = first + 2; i < argc; ++i) setup.ports.push_back(argv[i]);

    qvlink::station::SystemClock clock;
    qvlink::QtStationWindow window;
    qvlink::StationPanel panel(window, clock, {"station_window_bench", "0", "bench", {}});
    window.Attach(&panel);
    panel.Open(setup);
    window.show();
    RepaintCounter repaints;
    for (QWidget* tile : window.Tiles()) repaints.Watch(tile);

    const auto start = Clock::now();
    const double cpuAtStart = CpuSeconds();
    panel.StartAll();
    QTimer done;
    std::optional<Clock::time_point> stopped;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (stopAfter > 0) {
            const double serving = std::chrono::duration<double>(Clock::now() - start).count();
            if (!stopped && serving >= stopAfter) {
                stopped = Clock::now();
                panel.StopAll();
            }
            if (!stopped) return;
            for (const qvlink::QtStationTile* tile : window.Tiles())
                if (tile->Shown().phase != "stopped") return;
            std::printf("  Stop all after %.1f s: every tile stopped %.0f ms later\n", serving,
                        std::chrono::duration<double, std::milli>(Clock::now() - *stopped).count());
            done.stop();
            panel.RequestClose();
            return;
        }
        for (const qvlink::QtStationTile* tile : window.Tiles())
            if (tile->Shown().result != "Upgrade Completed" &&
                tile->Shown().tone != qvlink::Tone::Failed &&
                tile->Shown().tone != qvlink::Tone::Lost)
                return;
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = CpuSeconds() - cpuAtStart;
        std::printf("  window process: %.1f s serving, cpu %.2f s = %.1f%% of one core\n", seconds,
                    cpu, 100 * cpu / seconds);
        std::printf("  busiest tile: %d repaints, %.1f per second\n", repaints.Busiest(),
                    repaints.Busiest() / seconds);
        done.stop();
        panel.RequestClose();
    });
    done.start(stopAfter > 0 ? 10 : 100);
    return application.exec();
}
