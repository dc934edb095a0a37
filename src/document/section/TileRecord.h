#pragma once

#include <cstdint>

// One fixture (unit) of the matrix. Small and flat: sections hold millions of them.
struct CTileRecord {
    int32_t universe = 0; // zero-based, -1 undefined
    int32_t address = 0; // zero-based start address, -1 undefined
    uint8_t excluded = 0; // the position holds no fixture
    uint8_t selected = 0;
    uint8_t moveTarget = 0;
    uint8_t visited = 0; // scratch mark of the connections display

    bool IsUndefined() const { return !excluded && (universe < 0 || address < 0); }
};
