#include "win32_tile_grid.h"

#include <algorithm>
#include <utility>

namespace qvlink {
namespace {

constexpr wchar_t GRID_CLASS[] = L"QVLinkStationTiles";
constexpr int GAP = 4;  // pixels between tiles and around them

}  // namespace

Win32TileGrid::Win32TileGrid(HINSTANCE instance, HWND parent, EnabledCall onEnabled)
    : instance_(instance), onEnabled_(std::move(onEnabled)) {
    WNDCLASSEXW grid{};
    grid.cbSize = sizeof grid;
    grid.lpfnWndProc = &WindowProc;
    grid.hInstance = instance;
    grid.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    grid.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    grid.lpszClassName = GRID_CLASS;
    RegisterClassExW(&grid);  // fails harmlessly when a grid made it before
    CreateWindowExW(WS_EX_CONTROLPARENT, GRID_CLASS, nullptr,
                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                    nullptr, instance, this);
    if (window_ == nullptr) return;
    // A tile's size is the template's, in the pixels of the font it is drawn with.
    const Win32Tile measure(instance_, window_, look_, nullptr);
    RECT tile{};
    GetWindowRect(measure.Window(), &tile);
    tileWidth_ = std::max(1, static_cast<int>(tile.right - tile.left));
    tileHeight_ = std::max(1, static_cast<int>(tile.bottom - tile.top));
}

Win32TileGrid::~Win32TileGrid() {
    tiles_.clear();
    if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK Win32TileGrid::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Win32TileGrid*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    auto* self = reinterpret_cast<Win32TileGrid*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->Handle(message, wParam, lParam)
                : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32TileGrid::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_VSCROLL:
            OnScroll(LOWORD(wParam));
            return 0;
        case WM_MOUSEWHEEL:
            ScrollTo(scrollY_ - GET_WHEEL_DELTA_WPARAM(wParam) * tileHeight_ / WHEEL_DELTA);
            return 0;
        case WM_NCDESTROY: {
            const HWND window = std::exchange(window_, nullptr);
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            return DefWindowProcW(window, message, wParam, lParam);
        }
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Win32TileGrid::OnScroll(int request) {
    SCROLLINFO bar{};
    bar.cbSize = sizeof bar;
    bar.fMask = SIF_ALL;
    GetScrollInfo(window_, SB_VERT, &bar);
    const int line = tileHeight_ / 4, page = static_cast<int>(bar.nPage);
    switch (request) {
        case SB_LINEUP:
            return ScrollTo(scrollY_ - line);
        case SB_LINEDOWN:
            return ScrollTo(scrollY_ + line);
        case SB_PAGEUP:
            return ScrollTo(scrollY_ - page);
        case SB_PAGEDOWN:
            return ScrollTo(scrollY_ + page);
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            return ScrollTo(bar.nTrackPos);
        case SB_TOP:
            return ScrollTo(0);
        case SB_BOTTOM:
            return ScrollTo(ContentHeight());
        default:
            return;
    }
}

void Win32TileGrid::SetCount(std::size_t count) {
    if (window_ == nullptr) return;
    tiles_.clear();
    for (std::size_t i = 0; i < count; ++i) {
        tiles_.push_back(std::make_unique<Win32Tile>(instance_, window_, look_, [this, i](bool on) {
            if (onEnabled_) onEnabled_(i, on);
        }));
    }
    scrollY_ = 0;
    Layout();
    for (const auto& tile : tiles_) ShowWindow(tile->Window(), SW_SHOWNA);
}

void Win32TileGrid::Show(std::size_t index, const TileView& tile) {
    if (index < tiles_.size()) tiles_[index]->Show(tile);
}

SIZE Win32TileGrid::SizeFor(int columns, int rows) const {
    return {GAP + columns * (tileWidth_ + GAP) + GetSystemMetrics(SM_CXVSCROLL),
            GAP + rows * (tileHeight_ + GAP)};
}

int Win32TileGrid::ColumnsIn(int width) const {
    return std::max(1, (width - GetSystemMetrics(SM_CXVSCROLL) - GAP) / (tileWidth_ + GAP));
}

int Win32TileGrid::VisibleHeight() const {
    RECT area{};
    GetClientRect(window_, &area);
    return area.bottom;
}

int Win32TileGrid::Columns() const {
    RECT area{};
    GetClientRect(window_, &area);
    return std::max(1, static_cast<int>(area.right - GAP) / (tileWidth_ + GAP));
}

int Win32TileGrid::ContentHeight() const {
    const int columns = Columns();
    const int rows = (static_cast<int>(tiles_.size()) + columns - 1) / columns;
    return GAP + rows * (tileHeight_ + GAP);
}

// Moving a tile to where it already is repaints nothing, so a resize that keeps the columns
// leaves the tiles alone.
void Win32TileGrid::Layout() {
    if (window_ == nullptr) return;
    RECT area{};
    GetClientRect(window_, &area);
    const int columns = Columns();
    const int content = ContentHeight();
    scrollY_ = std::clamp(scrollY_, 0, std::max(0, content - static_cast<int>(area.bottom)));
    SCROLLINFO bar{};
    bar.cbSize = sizeof bar;
    bar.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    bar.nMax = std::max(0, content - 1);
    bar.nPage = static_cast<UINT>(area.bottom);
    bar.nPos = scrollY_;
    SetScrollInfo(window_, SB_VERT, &bar, TRUE);
    HDWP moves = BeginDeferWindowPos(static_cast<int>(tiles_.size()));
    for (std::size_t i = 0; i < tiles_.size() && moves != nullptr; ++i) {
        const int column = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
        moves =
            DeferWindowPos(moves, tiles_[i]->Window(), nullptr, GAP + column * (tileWidth_ + GAP),
                           GAP + row * (tileHeight_ + GAP) - scrollY_, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves != nullptr) EndDeferWindowPos(moves);
}

void Win32TileGrid::ScrollTo(int position) {
    position = std::clamp(position, 0, std::max(0, ContentHeight() - VisibleHeight()));
    if (position == scrollY_) return;
    const int by = scrollY_ - position;
    scrollY_ = position;
    SetScrollPos(window_, SB_VERT, scrollY_, TRUE);
    ScrollWindowEx(window_, 0, by, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

}  // namespace qvlink
