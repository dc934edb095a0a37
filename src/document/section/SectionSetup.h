#pragma once

#include <string>

// Setup parameters of a section, under the keys the project file and job files use.
struct CSectionSetup {
    int fix_type = 0; // library index of the fixture type
    int skope_style_type = 0; // index into the fixture type's visualiser styles
    int matrix_width = 6; // tiles across (W)
    int matrix_height = 3; // tiles down (H)
    std::string screen_med_name = "Unit"; // at most CSubDoc::kMaxTextLength bytes
    int screen_id = 1;
    int orientation = 0; // 0..3 = 0, 90, 180, 270 degrees clockwise
    int base_universe = 0; // zero-based
    int addr_first = 0; // zero-based
    int addr_count = 512; // one-based highest address, 1..512
    int address_origin = 0; // bit 0 right, bit 1 bottom
    int primary_direction = 0; // 0 horizontal, 1 vertical
    int check_invert_secondaries = 0; // snake
    int section_id = 0; // only read from job files
    // The type name a project file gave while the library has no type for it (the library
    // could not be read): written back unchanged so that saving loses nothing.
    std::string unresolved_fix_type;
};
