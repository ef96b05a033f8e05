// The station window on Windows: a top-level window with the header template at the top and the
// grid of tiles, one per port, below it. It is the StationView StationPanel draws through, and
// turns the operator's clicks and keys (F5 Start all, F6 Stop all, wherever the focus is) into the
// panel's calls. Window thread only; nothing here waits on a port. Closing the window asks the
// panel, which calls Close once its ports have ended; that ends RunMessageLoop.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "station_view.h"
#include "win32_tile_grid.h"

namespace qvlink {

class StationPanel;

class Win32StationWindow final : public StationView {
  public:
    // Makes the window, hidden, from the templates in `instance`; Created says whether it could.
    explicit Win32StationWindow(HINSTANCE instance);
    ~Win32StationWindow() override;
    Win32StationWindow(const Win32StationWindow&) = delete;
    Win32StationWindow& operator=(const Win32StationWindow&) = delete;

    bool Created() const { return window_ != nullptr; }
    // The panel the window's controls call; it must outlive the message loop.
    void Attach(StationPanel& panel) { panel_ = &panel; }
    // Shows the window sized for its tiles, as far as the screen allows.
    void Show(int showCommand);
    // Runs the thread's messages until the window has been closed; the quit message's code.
    int RunMessageLoop();

    // StationView
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

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK HeaderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id);
    void OnActivate(bool active);
    void Layout();  // the header across the top, the tiles below it
    void KeepFocusUsable();
    void StretchHeaderLine(int id, int width);
    void ShowDatabaseLine(const std::string& text);
    // Runs a modal box or chooser; a close asked for meanwhile is handled once it returns.
    template <typename Modal>
    auto RunModal(Modal modal);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HWND header_ = nullptr;
    HACCEL keys_ = nullptr;
    StationPanel* panel_ = nullptr;
    std::unique_ptr<Win32TileGrid> grid_;
    int headerHeight_ = 0;       // as shown: with the database line only while it is shown
    int fullHeaderHeight_ = 0;   // the whole template
    int shortHeaderHeight_ = 0;  // down to the database line
    std::string notice_;
    HWND lastFocus_ = nullptr;
    int modalDepth_ = 0;
    bool closeAsked_ = false;  // a close that came while a modal box was open
};

}  // namespace qvlink
