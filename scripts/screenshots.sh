#!/usr/bin/env bash
# Renders the dialog offscreen into docs/ (the pictures the README shows).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build/release --target qt_window_tests qvlink-sim
mkdir -p docs
QT_QPA_PLATFORM=offscreen QVLINK_SCREENSHOT_DIR="$PWD/docs" \
    build/release/tests/qt_window_tests --gtest_filter='*RendersTheReadyAndTransferStates*'
