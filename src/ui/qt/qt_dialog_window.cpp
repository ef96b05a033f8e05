#include "qt_dialog_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include "port_names.h"
#include "qvlink_icon.xpm"
#include "status_texts.h"
#include "upgrade_dialog.h"

namespace qvlink {
namespace {

constexpr int TEMPLATE_WIDTH = 367;  // dialog units
constexpr int TEMPLATE_HEIGHT = 193;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The template's font where it is installed, a similar Song-style face otherwise.
QFont DialogFont() {
    QFont font;
    font.setFamilies(
        {QString::fromUtf8("宋体"), "SimSun", "Noto Serif CJK SC", "Noto Sans CJK SC"});
    font.setPointSize(9);
    return font;
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(BoxKind kind, const QString& text,
                                            const QString& plainCaption, QWidget* dialog) {
    switch (kind) {
        case BoxKind::Dialog:
            return std::make_unique<QMessageBox>(QMessageBox::NoIcon, PRODUCT_TITLE, text,
                                                 QMessageBox::Ok, dialog);
        case BoxKind::Application:
            return std::make_unique<QMessageBox>(QMessageBox::Warning,
                                                 QCoreApplication::applicationName(), text,
                                                 QMessageBox::Ok, dialog);
        case BoxKind::Plain:
            break;
    }
    return std::make_unique<QMessageBox>(QMessageBox::NoIcon, plainCaption, text, QMessageBox::Ok,
                                         nullptr);
}

std::unique_ptr<QFileDialog> MakeFirmwareChooser(QWidget* parent) {
    auto chooser =
        std::make_unique<QFileDialog>(parent, "open quorvane upgrade file(*.bin)",
                                      QDir::currentPath(), "quorvane upgrade file(*.bin)");
    chooser->setAcceptMode(QFileDialog::AcceptOpen);
    chooser->setFileMode(QFileDialog::ExistingFile);
    chooser->selectFile("quorvane.bin");
    return chooser;
}

QtDialogWindow::QtDialogWindow(UpgradeDialog& dialog, MessagePresenter presenter,
                               FileChooser chooser)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      dialog_(dialog),
      presenter_(std::move(presenter)),
      chooser_(std::move(chooser)) {
    setFont(DialogFont());
    const QFontMetrics metrics(font());
    baseUnitX_ = qRound(
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0);
    baseUnitY_ = metrics.height();
    setWindowIcon(QIcon(QPixmap(QVLINK_ICON_XPM)));
    BuildControls();
    setFixedSize(DialogUnits(0, 0, TEMPLATE_WIDTH, TEMPLATE_HEIGHT).size());
    dialog_.Attach(*this);
}

QtDialogWindow::~QtDialogWindow() = default;

QRect QtDialogWindow::DialogUnits(int x, int y, int width, int height) const {
    return {x * baseUnitX_ / 4, y * baseUnitY_ / 8, width * baseUnitX_ / 4,
            height * baseUnitY_ / 8};
}

void QtDialogWindow::BuildControls() {
    auto* frame = new QGroupBox(this);
    frame->setGeometry(DialogUnits(7, 7, 353, 179));

    startStopButton_ = new QPushButton(START_CAPTION, this);
    startStopButton_->setGeometry(DialogUnits(99, 163, 72, 14));
    exitButton_ = new QPushButton("Exit", this);
    exitButton_->setGeometry(DialogUnits(195, 163, 72, 14));
    for (QPushButton* button : {startStopButton_, exitButton_}) {
        button->setAutoDefault(true);  // Enter presses the focused button; none is the default
        button->setDefault(false);
    }
    connect(startStopButton_, &QPushButton::clicked, this, [this] { dialog_.OnStartStop(); });
    connect(exitButton_, &QPushButton::clicked, this, [this] { dialog_.OnCancel(); });

    for (int i = 0; i < 8; ++i) {
        auto* radio = new QRadioButton(QString("COM%1").arg(i + 1), this);
        radio->setGeometry(DialogUnits(20 + 42 * i, 27, 32, 10));
        connect(radio, &QRadioButton::clicked, this, [this, i] { dialog_.OnPortRadio(i); });
        portRadios_[static_cast<std::size_t>(i)] = radio;
    }

    auto* inner = new QGroupBox(this);
    inner->setGeometry(DialogUnits(20, 56, 323, 93));
    progressBar_ = new QProgressBar(this);
    progressBar_->setGeometry(DialogUnits(33, 99, 295, 12));
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    statusLine_ = new QLabel(this);
    statusLine_->setGeometry(DialogUnits(36, 75, 205, 17));
    statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    elapsedText_ = new QLabel(this);
    elapsedText_->setGeometry(DialogUnits(242, 75, 85, 17));
    elapsedText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    resultLine_ = new QLabel(this);
    resultLine_->setGeometry(DialogUnits(171, 128, 143, 8));
    resultLine_->hide();
    continuousCheck_ = new QCheckBox("Continuously Upgrade", this);
    continuousCheck_->setGeometry(DialogUnits(35, 127, 111, 10));
    connect(continuousCheck_, &QCheckBox::clicked, this, [this] { dialog_.OnContinuousCheck(); });

    setTabOrder(startStopButton_, exitButton_);
    setTabOrder(exitButton_, portRadios_[0]);
    for (int i = 0; i + 1 < 8; ++i)
        setTabOrder(portRadios_[static_cast<std::size_t>(i)],
                    portRadios_[static_cast<std::size_t>(i + 1)]);
    setTabOrder(portRadios_[7], progressBar_);
    progressBar_->setFocusPolicy(Qt::TabFocus);
    setTabOrder(progressBar_, continuousCheck_);

    blinkTimer_ = new QTimer(this);
    clockTimer_ = new QTimer(this);
    connect(blinkTimer_, &QTimer::timeout, this, [this] { dialog_.OnTimer(BLINK_TIMER); });
    connect(clockTimer_, &QTimer::timeout, this, [this] { dialog_.OnTimer(CLOCK_TIMER); });
}

void QtDialogWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (initialised_) return;
    initialised_ = true;
    for (int i = 0; i < 8; ++i)
        portRadios_[static_cast<std::size_t>(i)]->setToolTip(
            QString::fromStdString(DeviceForPortNumber(i + 1)));
    dialog_.OnInitDialog();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

std::string QtDialogWindow::Title() const {
    return windowTitle().toStdString();
}

void QtDialogWindow::SetTitle(const std::string& title, bool repaintNow) {
    setWindowTitle(FromUtf8(title));
    if (repaintNow) repaint();
}

void QtDialogWindow::SetStatusLine(const std::string& text) {
    statusLine_->setText(FromUtf8(text));
    statusLine_->repaint();
}

int QtDialogWindow::ProgressPosition() const {
    return progressBar_->value();
}

void QtDialogWindow::SetProgressPosition(int position) {
    progressBar_->setValue(position);
    progressBar_->repaint();
}

void QtDialogWindow::SetElapsedText(const std::string& text) {
    elapsedText_->setText(FromUtf8(text));
    elapsedText_->repaint();
}

void QtDialogWindow::SetResultLine(const std::string& text) {
    resultLine_->setText(FromUtf8(text));
    resultLine_->repaint();
}

void QtDialogWindow::SetResultLineVisible(bool visible) {
    resultLine_->setVisible(visible);
}

void QtDialogWindow::SetStartStopCaption(const std::string& caption) {
    startStopButton_->setText(FromUtf8(caption));
    startStopButton_->repaint();
}

void QtDialogWindow::SetLockableControlsEnabled(bool enabled) {
    continuousCheck_->setEnabled(enabled);
    for (QRadioButton* radio : portRadios_) radio->setEnabled(enabled);
}

void QtDialogWindow::SetPortChoice(int portIndex) {
    // Radio buttons that exclude each other cannot all be cleared; lift that for a moment.
    for (QRadioButton* radio : portRadios_) {
        radio->setAutoExclusive(false);
        radio->setChecked(false);
    }
    if (portIndex >= 0 && portIndex < 8)
        portRadios_[static_cast<std::size_t>(portIndex)]->setChecked(true);
    for (QRadioButton* radio : portRadios_) radio->setAutoExclusive(true);
}

bool QtDialogWindow::ContinuousChecked() const {
    return continuousCheck_->isChecked();
}

void QtDialogWindow::StartTimer(TimerId id, int periodMs) {
    (id == BLINK_TIMER ? blinkTimer_ : clockTimer_)->start(periodMs);
}

void QtDialogWindow::StopTimer(TimerId id) {
    (id == BLINK_TIMER ? blinkTimer_ : clockTimer_)->stop();
}

std::optional<std::string> QtDialogWindow::ChooseFirmwareFile() {
    if (chooser_) {
        const auto chosen = chooser_();
        if (!chosen) return std::nullopt;
        return chosen->toStdString();
    }
    const auto chooser = MakeFirmwareChooser(this);
    if (chooser->exec() != QDialog::Accepted || chooser->selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chooser->selectedFiles().first()).toStdString();
}

void QtDialogWindow::ShowMessage(BoxKind kind, const std::string& text,
                                 const std::string& plainCaption) {
    if (presenter_) {
        presenter_(kind, FromUtf8(text), FromUtf8(plainCaption));
        return;
    }
    MakeMessageBox(kind, FromUtf8(text), FromUtf8(plainCaption), this)->exec();
}

void QtDialogWindow::Close() {
    closing_ = true;
    done(QDialog::Rejected);
}

void QtDialogWindow::RunOnWindowThread(std::function<void()> call) {
    QMetaObject::invokeMethod(
        this, [call = std::move(call)] { call(); }, Qt::QueuedConnection);
}

void QtDialogWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
            if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
                button->click();
            else
                dialog_.OnOK();
            return;
        case Qt::Key_Escape:
            dialog_.OnCancel();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void QtDialogWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    dialog_.OnCancel();
}

}  // namespace qvlink
