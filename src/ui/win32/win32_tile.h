// One port's tile in the Win32 station window: a child dialog made from the tile template that
// paints a TileView. The tile owns its window. Show touches only the controls whose text, bar
// or colour changed, so a tile is repainted only when the panel shows it and only where it
// changed. The result line's fonts and colours come from TileLook, which the window makes once
// for all its tiles. Window thread only.
#pragma once

#include <windows.h>

#include <functional>

#include "station_view.h"

namespace qvlink {

// The fonts and the tone colours every tile paints with; lives as long as the tiles.
class TileLook {
  public:
    TileLook();
    ~TileLook();
    TileLook(const TileLook&) = delete;
    TileLook& operator=(const TileLook&) = delete;

    HFONT NameFont() const { return nameFont_; }
    HFONT ResultFont() const { return resultFont_; }
    // The result line's background for `tone`; nullptr for Idle (the tile's own background).
    HBRUSH Brush(Tone tone) const;
    static COLORREF Colour(Tone tone);

  private:
    HFONT nameFont_;
    HFONT resultFont_;
    HBRUSH brushes_[5] = {};
};

class Win32Tile {
  public:
    // A hidden tile in `parent`; `onEnabled` is called with the box's new state when the
    // operator ticks or unticks it. `look` must outlive the tile.
    Win32Tile(HINSTANCE instance, HWND parent, const TileLook& look,
              std::function<void(bool)> onEnabled);
    ~Win32Tile();
    Win32Tile(const Win32Tile&) = delete;
    Win32Tile& operator=(const Win32Tile&) = delete;

    HWND Window() const { return window_; }
    void Show(const TileView& tile);

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void SetText(int id, const std::string& text, const std::string& was);

    const TileLook& look_;
    std::function<void(bool)> onEnabled_;
    HWND window_ = nullptr;
    TileView shown_;  // what the controls show now
};

}  // namespace qvlink
