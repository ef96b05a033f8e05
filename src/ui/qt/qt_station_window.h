// The station window on Qt: a header (firmware, record, totals, Start all F5, Stop all F6, the
// port list) over a grid of tiles that reflows with the window's width. It presents a
// StationPanel and holds no rules of its own. Everything runs on the GUI thread; the panel's
// refresh timer is the only thing that reads the ports.
#pragma once

#include <QWidget>
#include <vector>

#include "station_view.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;

namespace qvlink {

class StationPanel;
class QtStationTile;

class QtStationWindow final : public QWidget, public StationView {
  public:
    explicit QtStationWindow(QWidget* parent = nullptr);
    // The panel the window's buttons, keys, boxes and timer drive; set before it is shown.
    void Attach(StationPanel* panel) { panel_ = panel; }
    const std::vector<QtStationTile*>& Tiles() const { return tiles_; }

    void ShowHeader(const HeaderView& header) override;
    void SetTileCount(std::size_t count) override;
    void ShowTile(std::size_t index, const TileView& tile) override;
    void ShowNotice(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    std::optional<std::string> ChooseFirmwareFile() override;
    std::optional<std::string> ChooseRecordFile() override;
    std::optional<std::vector<std::string>> ChoosePorts(
        const std::vector<std::string>& current, const std::vector<std::string>& offered) override;
    void StartRefreshTimer(int periodMs) override;
    void Close() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    // The tiles' area reflows when its own width changes.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Reflow();

    StationPanel* panel_ = nullptr;
    QLabel* firmware_;
    QLabel* record_;
    QLabel* databaseName_;  // shown only with a database
    QLabel* database_;
    QLabel* completed_;
    QLabel* failed_;
    QLabel* perHour_;
    QLabel* mean_;
    QLabel* p95_;
    QLabel* notice_;
    QPushButton* chooseFirmware_;
    QPushButton* chooseRecord_;
    QPushButton* choosePorts_;
    QPushButton* startAll_;
    QPushButton* stopAll_;
    QScrollArea* scroll_;
    QWidget* grid_;
    QGridLayout* gridLayout_;
    std::vector<QtStationTile*> tiles_;
    int columns_ = 0;
    QTimer* refresh_;
    bool closeAllowed_ = false;
    QStringList notices_;
};

}  // namespace qvlink
