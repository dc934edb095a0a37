#pragma once

// What the model benchmarks share: a clock in milliseconds and the wall they measure on.
#include "document/QuiltmarkDoc.h"

#include <chrono>
#include <string>

const std::string kBenchLibrary = std::string(QUILTMARK_SOURCE_DIR) + "/resources/metalib.xml";

using Clock = std::chrono::steady_clock;

inline double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A side x side section of the 2 x 2-item tile the figures are quoted for.
inline CSectionSetup WallSetup(const CQuiltmarkDoc& doc, int side)
{
    CSectionSetup setup;
    const int type = doc.GetLibrary().IndexOfType("BRAKWELL_TILE_2X2");
    setup.fix_type = type < 0 ? 0 : type;
    setup.matrix_width = side;
    setup.matrix_height = side;
    return setup;
}
