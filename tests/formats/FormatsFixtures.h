#pragma once

#include "app/library/FixtureType.h"
#include "app/library/MetaLib.h"
#include "document/section/SubDoc.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// A one-type library and helpers to build small sections by hand for the export tests.
namespace formats_test {

inline std::unique_ptr<CFixtureType> MakeType(
    int width, int height, int addressesPerQuark, const std::string& quarkName = "RGB")
{
    auto type = std::make_unique<CFixtureType>();
    type->type = "TEST_" + quarkName;
    type->quarkName = quarkName;
    type->width = width;
    type->height = height;
    type->addressesPerQuark = addressesPerQuark;
    type->skopeWidth = 100;
    type->skopeHeight = 50;
    type->skopeDepth = 20;
    type->styles = { "Panel", "Bar" };
    type->oldIndex = 7;
    return type;
}

// Tiles of W x H with the given (universe, address) records, row by row; items rebuilt.
inline void PlaceTiles(
    CSubDoc& section, int width, int height, const std::vector<std::pair<int, int>>& records)
{
    section.setup.matrix_width = width;
    section.setup.matrix_height = height;
    section.ResizeTiles(width, height);
    for (std::size_t i = 0; i < records.size(); ++i) {
        CTileRecord* tile = section.GetTileAt(static_cast<int>(i));
        tile->universe = records[i].first;
        tile->address = records[i].second;
    }
    section.initialised = true;
    section.RebuildItems();
}

inline std::string GoldenPath(const std::string& name)
{
    return std::string(QUILTMARK_SOURCE_DIR) + "/tests/formats/golden/" + name;
}

// The expected bytes of a golden file; empty when it is missing.
inline std::string ReadGolden(const std::string& name)
{
    std::ifstream in(GoldenPath(name), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace formats_test
