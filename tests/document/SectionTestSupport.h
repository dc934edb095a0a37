#pragma once

#include "app/library/FixtureType.h"
#include "app/library/MetaLib.h"
#include "document/section/SubDoc.h"

#include <memory>
#include <vector>

// Every item of the section, row by row.
inline std::vector<CPatchEntry> ItemsOf(const CSubDoc& section)
{
    std::vector<CPatchEntry> items;
    for (int index = 0; index < section.GetItemCount(); ++index)
        items.push_back(*section.GetItemAt(index));
    return items;
}

struct FixtureShape {
    int width = 1;
    int height = 1;
    int addressesPerQuark = 1;
    int flags = 0;
    int header = 0;
    int tail = 0;
};

inline int AddFixture(CMetaLib& library, const FixtureShape& shape)
{
    auto type = std::make_unique<CFixtureType>();
    type->type = "TEST";
    type->quarkName = "Pixel";
    type->width = shape.width;
    type->height = shape.height;
    type->addressesPerQuark = shape.addressesPerQuark;
    type->flags = shape.flags;
    type->headerAddresses = shape.header;
    type->tailAddresses = shape.tail;
    return library.Add(std::move(type));
}

// A library holding one fixture type and a section of `columns` x `rows` tiles of it.
struct SectionWith {
    CMetaLib library;
    CSubDoc section { &library };

    SectionWith(const FixtureShape& shape, int columns, int rows)
    {
        section.setup.fix_type = AddFixture(library, shape);
        section.setup.matrix_width = columns;
        section.setup.matrix_height = rows;
    }
};
