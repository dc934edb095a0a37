#include "document/ProjectContents.h"

#include "app/base/NumberText.h"

namespace {

std::string SizeText(long long width, long long height)
{
    std::string text;
    AppendDecimal(text, width);
    text += " x ";
    AppendDecimal(text, height);
    return text;
}

} // namespace

std::string IProjectContents::ProjectTooLargeText()
{
    return "The project would hold more than " + std::to_string(kMaxProjectItems)
        + " items in all its sections, the most Quiltmark can hold.";
}

std::string SectionSizeProblem(const CSubDoc& section, std::uint64_t otherItems)
{
    const int width = section.setup.matrix_width;
    const int height = section.setup.matrix_height;
    const long long tiles = static_cast<long long>(width) * height;
    const long long items = tiles * section.ItemsPerTileX() * section.ItemsPerTileY();
    if (width < 0 || height < 0)
        return "The section \"" + section.name + "\" has a negative size ("
            + SizeText(width, height) + " tiles).";
    if (tiles > CSubDoc::kMaxTiles || items > CSubDoc::kMaxItems)
        return "The section \"" + section.name + "\" asks for " + SizeText(width, height)
            + " tiles; a section holds at most 4000000 tiles and 16777216 items.";
    if (otherItems + static_cast<std::uint64_t>(items) > IProjectContents::kMaxProjectItems)
        return IProjectContents::ProjectTooLargeText();
    return std::string();
}
