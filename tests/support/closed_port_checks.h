// The checks every platform's port must pass once an open has failed: it holds nothing, every
// operation returns 0 without touching the caller's buffer, and closing twice does nothing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "serial_port.h"

namespace qvlink::test {

inline void ExpectClosedPortIsInert(SerialPort& port) {
    EXPECT_FALSE(port.IsOpen());
    std::uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(port.QueuedBytes(), 0);
    EXPECT_EQ(port.Read(buffer, 4), 0);
    EXPECT_EQ(port.Write(buffer, 4), 0);
    EXPECT_EQ(port.SetBinaryMode(1), 0);
    EXPECT_EQ(port.WaitForInput(1, StopWake{}), LineWait::Lost);
    EXPECT_EQ(buffer[0], 9);
    port.Close();
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace qvlink::test
