// The station window's tile area on Windows: a child window holding one Win32Tile per port,
// laid out in as many columns as its width takes and scrolled vertically when the rows do not
// fit. The scroll bar is always there (greyed when everything fits), so the width the tiles
// have never changes with their number. The grid owns its window and its tiles. Window thread
// only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "station_view.h"
#include "win32_tile.h"

namespace qvlink {

class Win32TileGrid {
  public:
    // Called with a tile's index and its box's new state when the operator ticks or unticks it.
    using EnabledCall = std::function<void(std::size_t index, bool enabled)>;

    // An empty grid in `parent`, sized later by the parent; Window() is null when it could not
    // be made.
    Win32TileGrid(HINSTANCE instance, HWND parent, EnabledCall onEnabled);
    ~Win32TileGrid();
    Win32TileGrid(const Win32TileGrid&) = delete;
    Win32TileGrid& operator=(const Win32TileGrid&) = delete;

    HWND Window() const { return window_; }
    // Makes `count` empty tiles in place of the ones there were, scrolled to the top.
    void SetCount(std::size_t count);
    std::size_t Count() const { return tiles_.size(); }
    void Show(std::size_t index, const TileView& tile);
    // The client size that shows `columns` columns of `rows` rows without scrolling.
    SIZE SizeFor(int columns, int rows) const;
    // The most columns `width` pixels of client area show.
    int ColumnsIn(int width) const;
    // Ends the tiles before the window goes (the parent's WM_DESTROY).
    void Clear() { tiles_.clear(); }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnScroll(int request);
    void Layout();
    void ScrollTo(int position);
    int Columns() const;  // at the present width
    int ContentHeight() const;
    int VisibleHeight() const;

    HINSTANCE instance_;
    EnabledCall onEnabled_;
    HWND window_ = nullptr;
    TileLook look_;
    std::vector<std::unique_ptr<Win32Tile>> tiles_;
    int tileWidth_ = 0;  // pixels, border included
    int tileHeight_ = 0;
    int scrollY_ = 0;
};

}  // namespace qvlink
