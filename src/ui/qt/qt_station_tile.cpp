#include "qt_station_tile.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace qvlink {
namespace {

constexpr int TILE_WIDTH = 150;

const char* ResultStyle(Tone tone) {
    switch (tone) {
        case Tone::Completed:
            return "background:#2e9d48;color:white;";
        case Tone::Failed:
            return "background:#c8312b;color:white;";
        case Tone::Lost:
            return "background:#e8a317;color:black;";
        case Tone::Waiting:
            return "background:#d6e6f5;color:#1d3c5a;";
        case Tone::Idle:
            break;
    }
    return "background:transparent;color:palette(text);";
}

QLabel* SmallLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    label->setMinimumWidth(0);
    return label;
}

// Long texts end in an ellipsis rather than widening the tile; the whole text is the tooltip.
template <typename Widget>
void SetElided(Widget* label, const std::string& text, int besides = 0) {
    const QString whole = QString::fromStdString(text);
    label->setText(
        label->fontMetrics().elidedText(whole, Qt::ElideRight, TILE_WIDTH - 14 - besides));
    label->setToolTip(whole);
}

}  // namespace

QtStationTile::QtStationTile(std::function<void(bool)> onEnable, QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(TILE_WIDTH);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setSpacing(1);
    auto* top = new QHBoxLayout;
    enable_ = new QCheckBox(this);
    QFont bold = enable_->font();
    bold.setBold(true);
    enable_->setFont(bold);
    connect(enable_, &QCheckBox::clicked, this, [onEnable](bool on) { onEnable(on); });
    since_ = SmallLabel(this);
    since_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    top->addWidget(enable_, 1);
    top->addWidget(since_);
    device_ = SmallLabel(this);
    phase_ = SmallLabel(this);
    phase_->setWordWrap(true);  // the status line's words, on two lines
    phase_->setFixedHeight(2 * phase_->fontMetrics().lineSpacing());
    phase_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->setFixedHeight(8);
    counts_ = SmallLabel(this);
    result_ = new QLabel(this);
    QFont large = result_->font();
    large.setPointSizeF(large.pointSizeF() * 1.25);
    large.setBold(true);
    result_->setFont(large);
    resultPoints_ = large.pointSizeF();
    result_->setAlignment(Qt::AlignCenter);
    result_->setMinimumHeight(26);
    note_ = SmallLabel(this);
    note_->setWordWrap(true);
    note_->setFixedHeight(2 * note_->fontMetrics().lineSpacing());
    note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addLayout(top);
    for (QWidget* part :
         std::initializer_list<QWidget*>{device_, phase_, progress_, result_, counts_, note_})
        layout->addWidget(part);
}

// The result in the largest type that fits the tile, down to the tile's normal type.
void QtStationTile::ShowResult(const std::string& text) {
    const QString result = QString::fromStdString(text);
    QFont font = result_->font();
    for (double points = resultPoints_; points > resultPoints_ / 1.3; points -= 0.5) {
        font.setPointSizeF(points);
        if (QFontMetrics(font).horizontalAdvance(result) <= TILE_WIDTH - 16) break;
    }
    result_->setFont(font);
    SetElided(result_, text);
}

void QtStationTile::Show(const TileView& tile) {
    if (first_ || tile.name != shown_.name) SetElided(enable_, tile.name, 60);
    if (first_ || tile.enabled != shown_.enabled) enable_->setChecked(tile.enabled);
    if (first_ || tile.device != shown_.device) SetElided(device_, tile.device);
    if (first_ || tile.phase != shown_.phase) phase_->setText(QString::fromStdString(tile.phase));
    if (first_ || tile.percent != shown_.percent) progress_->setValue(tile.percent);
    if (first_ || tile.sinceContact != shown_.sinceContact)
        since_->setText(QString::fromStdString(tile.sinceContact));
    if (first_ || tile.counts != shown_.counts)
        counts_->setText(QString::fromStdString(tile.counts));
    if (first_ || tile.result != shown_.result) ShowResult(tile.result);
    if (first_ || tile.tone != shown_.tone) result_->setStyleSheet(ResultStyle(tile.tone));
    if (first_ || tile.note != shown_.note) {
        note_->setText(QString::fromStdString(tile.note));
        note_->setToolTip(note_->text());
    }
    shown_ = tile;
    first_ = false;
}

}  // namespace qvlink
