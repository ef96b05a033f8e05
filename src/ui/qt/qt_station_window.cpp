#include "qt_station_window.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include "port_list.h"
#include "qt_dialog_window.h"
#include "qt_station_tile.h"
#include "station_panel.h"

namespace qvlink {
namespace {

constexpr int TILE_PITCH = 154;  // a tile and the space beside it

QLabel* Figure(QWidget* parent) {
    auto* label = new QLabel("-", parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// The port list the operator edits: the ports the system has, to tick, and the list as text,
// which may also hold ranges and COM names.
std::optional<std::vector<std::string>> EditPorts(QWidget* parent,
                                                  const std::vector<std::string>& current,
                                                  const std::vector<std::string>& offered) {
    QDialog dialog(parent);
    dialog.setWindowTitle("Ports");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("The serial ports of this system (tick to add):", &dialog));
    auto* list = new QListWidget(&dialog);
    for (const std::string& port : offered) {
        auto* item = new QListWidgetItem(QString::fromStdString(port), list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    layout->addWidget(list);
    layout->addWidget(new QLabel("Ports, lists and ranges, separated by commas:", &dialog));
    QStringList items;
    for (const std::string& port : current) items << QString::fromStdString(port);
    auto* edit = new QLineEdit(items.join(","), &dialog);
    layout->addWidget(edit);
    QObject::connect(list, &QListWidget::itemChanged, &dialog, [edit](QListWidgetItem* item) {
        QStringList names;
        for (const std::string& name : station::SplitPortList(edit->text().toStdString()))
            names << QString::fromStdString(name);
        names.removeAll(item->text());
        if (item->checkState() == Qt::Checked) names << item->text();
        edit->setText(names.join(","));
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return station::SplitPortList(edit->text().toStdString());
}

}  // namespace

QtStationWindow::QtStationWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(STATION_TITLE);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);  // 32 tiles fit a 1366x768 screen
    layout->setSpacing(4);
    auto* header = new QGridLayout;
    header->setHorizontalSpacing(10);
    header->setVerticalSpacing(2);
    firmware_ = new QLabel(this);
    firmware_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    record_ = new QLabel(this);
    record_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chooseFirmware_ = new QPushButton("Firmware...", this);
    chooseRecord_ = new QPushButton("Record...", this);
    choosePorts_ = new QPushButton("Ports...", this);
    startAll_ = new QPushButton("Start all (F5)", this);
    stopAll_ = new QPushButton("Stop all (F6)", this);
    startAll_->setObjectName("startAll");
    stopAll_->setObjectName("stopAll");
    header->addWidget(new QLabel("Firmware:", this), 0, 0);
    header->addWidget(firmware_, 0, 1, 1, 10);
    header->addWidget(chooseFirmware_, 0, 11);
    header->addWidget(new QLabel("Record:", this), 1, 0);
    header->addWidget(record_, 1, 1, 1, 10);
    header->addWidget(chooseRecord_, 1, 11);
    completed_ = Figure(this);
    failed_ = Figure(this);
    perHour_ = Figure(this);
    mean_ = Figure(this);
    p95_ = Figure(this);
    int column = 0;
    for (auto [name, figure] : {std::pair{"Completed:", completed_},
                                {"Failed:", failed_},
                                {"Rate:", perHour_},
                                {"Mean time:", mean_},
                                {"95 %:", p95_}}) {
        header->addWidget(new QLabel(name, this), 2, column++);
        header->addWidget(figure, 2, column++);
    }
    header->addWidget(choosePorts_, 2, 11);
    databaseName_ = new QLabel("Database:", this);
    database_ = new QLabel(this);
    database_->setObjectName("database");
    database_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    database_->setWordWrap(true);
    header->addWidget(databaseName_, 3, 0);
    header->addWidget(database_, 3, 1, 1, 11);
    databaseName_->hide();
    database_->hide();
    header->setColumnStretch(10, 1);
    layout->addLayout(header);
    auto* actions = new QHBoxLayout;
    actions->addWidget(startAll_);
    actions->addWidget(stopAll_);
    notice_ = new QLabel(this);
    notice_->setWordWrap(true);
    actions->addWidget(notice_, 1);
    layout->addLayout(actions);

    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_ = new QWidget;
    gridLayout_ = new QGridLayout(grid_);
    gridLayout_->setSpacing(4);
    gridLayout_->setContentsMargins(4, 4, 4, 4);
    gridLayout_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    scroll_->setWidget(grid_);
    scroll_->viewport()->installEventFilter(this);
    layout->addWidget(scroll_, 1);

    refresh_ = new QTimer(this);
    connect(refresh_, &QTimer::timeout, this, [this] { panel_->Refresh(); });
    connect(startAll_, &QPushButton::clicked, this, [this] { panel_->StartAll(); });
    connect(stopAll_, &QPushButton::clicked, this, [this] { panel_->StopAll(); });
    connect(chooseFirmware_, &QPushButton::clicked, this, [this] { panel_->ChooseFirmware(); });
    connect(chooseRecord_, &QPushButton::clicked, this, [this] { panel_->ChooseRecord(); });
    connect(choosePorts_, &QPushButton::clicked, this, [this] { panel_->ChoosePorts(); });
    // F5 and F6 work wherever the focus is in the window.
    connect(new QShortcut(Qt::Key_F5, this), &QShortcut::activated, this,
            [this] { panel_->StartAll(); });
    connect(new QShortcut(Qt::Key_F6, this), &QShortcut::activated, this,
            [this] { panel_->StopAll(); });
    resize(1360, 720);
}

void QtStationWindow::ShowHeader(const HeaderView& header) {
    setWindowTitle(QString::fromStdString(header.title));
    firmware_->setText(QString::fromStdString(header.firmware));
    record_->setText(QString::fromStdString(header.record));
    database_->setText(QString::fromStdString(header.database));
    databaseName_->setVisible(!header.database.empty());
    database_->setVisible(!header.database.empty());
    completed_->setText(QString::fromStdString(header.completed));
    failed_->setText(QString::fromStdString(header.failed));
    perHour_->setText(QString::fromStdString(header.perHour));
    mean_->setText(QString::fromStdString(header.meanTime));
    p95_->setText(QString::fromStdString(header.p95Time));
    startAll_->setEnabled(header.canStart);
    stopAll_->setEnabled(header.running);
    for (QPushButton* button : {chooseFirmware_, chooseRecord_, choosePorts_})
        button->setEnabled(!header.running);
}

void QtStationWindow::SetTileCount(std::size_t count) {
    for (QtStationTile* tile : tiles_) delete tile;
    tiles_.clear();
    for (std::size_t i = 0; i < count; ++i)
        tiles_.push_back(
            new QtStationTile([this, i](bool on) { panel_->SetPortEnabled(i, on); }, grid_));
    columns_ = 0;
    Reflow();
}

void QtStationWindow::ShowTile(std::size_t index, const TileView& tile) {
    if (index < tiles_.size()) tiles_[index]->Show(tile);
}

void QtStationWindow::ShowNotice(const std::string& text) {
    notices_ << QString::fromStdString(text);
    notice_->setText(notices_.join("\n"));
}

void QtStationWindow::ShowMessage(const std::string& text) {
    QMessageBox::warning(this, STATION_TITLE, QString::fromStdString(text));
}

std::optional<std::string> QtStationWindow::ChooseFirmwareFile() {
    const auto chooser = MakeFirmwareChooser(this);  // the dialog's own
    if (chooser->exec() != QDialog::Accepted || chooser->selectedFiles().isEmpty())
        return std::nullopt;
    return chooser->selectedFiles().front().toStdString();
}

std::optional<std::string> QtStationWindow::ChooseRecordFile() {
    const QString path = QFileDialog::getSaveFileName(
        this, "record of every receiver", QDir::currentPath(), "record (*.jsonl);;any file (*)",
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::vector<std::string>> QtStationWindow::ChoosePorts(
    const std::vector<std::string>& current, const std::vector<std::string>& offered) {
    return EditPorts(this, current, offered);
}

void QtStationWindow::StartRefreshTimer(int periodMs) {
    refresh_->start(periodMs);
}

void QtStationWindow::Close() {
    // Later, not within the close event that may have asked for it.
    QTimer::singleShot(0, this, [this] {
        closeAllowed_ = true;
        close();
    });
}

void QtStationWindow::closeEvent(QCloseEvent* event) {
    if (closeAllowed_ || panel_ == nullptr) {
        event->accept();
        return;
    }
    // The ports stop first; the panel closes the window once they have.
    event->ignore();
    panel_->RequestClose();
}

bool QtStationWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize) Reflow();
    return QWidget::eventFilter(watched, event);
}

void QtStationWindow::Reflow() {
    const int width = scroll_->viewport()->width();
    const int columns = std::max(1, width / TILE_PITCH);
    if (columns == columns_) return;
    columns_ = columns;
    for (QtStationTile* tile : tiles_) gridLayout_->removeWidget(tile);
    for (std::size_t i = 0; i < tiles_.size(); ++i)
        gridLayout_->addWidget(tiles_[i], static_cast<int>(i) / columns,
                               static_cast<int>(i) % columns);
}

}  // namespace qvlink
