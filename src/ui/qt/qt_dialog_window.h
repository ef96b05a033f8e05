// The operator's window in Qt Widgets: the dialog template's controls at their places, wired to
// UpgradeDialog, and the DialogView the dialog draws through. Calls from the worker arrive as
// queued calls on the window's thread, in the order made, and never wait for it.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "dialog_view.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace qvlink {

class UpgradeDialog;

// The three kinds of box, as the window shows them.
std::unique_ptr<QMessageBox> MakeMessageBox(BoxKind kind, const QString& text,
                                            const QString& plainCaption, QWidget* dialog);
// The firmware chooser, in the current directory.
std::unique_ptr<QFileDialog> MakeFirmwareChooser(QWidget* parent);

class QtDialogWindow final : public QDialog, public DialogView {
  public:
    using MessagePresenter =
        std::function<void(BoxKind, const QString& text, const QString& plainCaption)>;
    using FileChooser = std::function<std::optional<QString>()>;

    // `dialog` must outlive the window. Boxes and the chooser are the real ones unless given.
    explicit QtDialogWindow(UpgradeDialog& dialog, MessagePresenter presenter = {},
                            FileChooser chooser = {});
    ~QtDialogWindow() override;

    // DialogView
    std::string Title() const override;
    void SetTitle(const std::string& title, bool repaintNow) override;
    void SetStatusLine(const std::string& text) override;
    int ProgressPosition() const override;
    void SetProgressPosition(int position) override;
    void SetElapsedText(const std::string& text) override;
    void SetResultLine(const std::string& text) override;
    void SetResultLineVisible(bool visible) override;
    void SetStartStopCaption(const std::string& caption) override;
    void SetLockableControlsEnabled(bool enabled) override;
    void SetPortChoice(int portIndex) override;
    bool ContinuousChecked() const override;
    void StartTimer(TimerId id, int periodMs) override;
    void StopTimer(TimerId id) override;
    std::optional<std::string> ChooseFirmwareFile() override;
    void ShowMessage(BoxKind kind, const std::string& text,
                     const std::string& plainCaption) override;
    void Close() override;
    void RunOnWindowThread(std::function<void()> call) override;

    // For tests and screenshots.
    QPushButton* StartStopButton() const { return startStopButton_; }
    QPushButton* ExitButton() const { return exitButton_; }
    QCheckBox* ContinuousCheck() const { return continuousCheck_; }
    QRadioButton* PortRadio(int index) const {
        return portRadios_[static_cast<std::size_t>(index)];
    }
    QLabel* StatusLine() const { return statusLine_; }
    QLabel* ElapsedLabel() const { return elapsedText_; }
    QLabel* ResultLine() const { return resultLine_; }
    QProgressBar* ProgressBar() const { return progressBar_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void BuildControls();
    QRect DialogUnits(int x, int y, int width, int height) const;

    UpgradeDialog& dialog_;
    MessagePresenter presenter_;
    FileChooser chooser_;
    int baseUnitX_ = 6;
    int baseUnitY_ = 12;
    bool closing_ = false;
    bool initialised_ = false;
    QPushButton* startStopButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    std::array<QRadioButton*, 8> portRadios_{};
    QProgressBar* progressBar_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* elapsedText_ = nullptr;
    QLabel* resultLine_ = nullptr;
    QCheckBox* continuousCheck_ = nullptr;
    QTimer* blinkTimer_ = nullptr;
    QTimer* clockTimer_ = nullptr;
};

}  // namespace qvlink
