// One port's tile in the Qt station window: name, device, phase, progress, time since contact,
// the last result in large type on its colour, the counts, a note and the enable box. It
// repaints only the parts whose text changed.
#pragma once

#include <QFrame>
#include <functional>

#include "station_view.h"

class QCheckBox;
class QLabel;
class QProgressBar;

namespace qvlink {

class QtStationTile final : public QFrame {
  public:
    // `onEnable` is called with the box's new state when the operator ticks or unticks it.
    explicit QtStationTile(std::function<void(bool)> onEnable, QWidget* parent = nullptr);
    void Show(const TileView& tile);
    const TileView& Shown() const { return shown_; }

  private:
    void ShowResult(const std::string& text);

    QCheckBox* enable_;
    QLabel* device_;
    QLabel* phase_;
    QProgressBar* progress_;
    QLabel* since_;
    QLabel* result_;
    QLabel* counts_;
    QLabel* note_;
    TileView shown_;
    bool first_ = true;
    double resultPoints_ = 0;  // the result's largest type
};

}  // namespace qvlink
