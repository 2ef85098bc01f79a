// Checking one pixel of a drawn frame against the colour expected there, within the few steps that
// anti-aliasing and colour rounding may move it.
#pragma once

#include <cstdlib>

#include <gtest/gtest.h>
#include <QColor>

namespace vistrel::testing {

// Red, green and blue each within `tolerance` steps; alpha is not compared.
inline bool nearRgb(QRgb a, QRgb b, int tolerance = 8) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace vistrel::testing

#define EXPECT_PIXEL(image, x, y, rgb)                                                                          \
    EXPECT_TRUE(::vistrel::testing::nearRgb((image).pixel(x, y), rgb))                                         \
        << "at " << (x) << "," << (y) << ": " << std::hex << (image).pixel(x, y)
