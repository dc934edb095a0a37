#include "formats/SkopeScript.h"

#include "app/base/NumberText.h"
#include "app/base/StoredText.h"
#include "app/library/FixtureType.h"
#include "document/section/SubDoc.h"

#include <initializer_list>

namespace {

// One value of a script line: a number for %i, a text for %s.
struct ScriptArg {
    ScriptArg(long long number)
        : number(number)
    {
    }
    ScriptArg(const std::string& text)
        : text(&text)
    {
    }
    long long number = 0;
    const std::string* text = nullptr;
};

// printf-like, limited to %i and %s, so the script lines keep the visualiser's own
// formats while the text is built without fixed-size buffers.
void AppendLine(std::string& out, const char* format, std::initializer_list<ScriptArg> args = {})
{
    const ScriptArg* next = args.begin();
    const char* p = format;
    while (*p != '\0') {
        const char* run = p;
        while (*p != '\0' && *p != '%')
            ++p;
        out.append(run, p);
        if (*p == '\0')
            break;
        if ((p[1] == 'i' || p[1] == 's') && next != args.end()) {
            if (next->text != nullptr)
                out.append(*next->text);
            else
                AppendDecimal(out, next->number);
            ++next;
            p += 2;
        } else {
            out.push_back(*p++);
        }
    }
}

constexpr long long kPadX = 10;
constexpr long long kPadY = 10;
constexpr long long kSectionDistance = 5000;
constexpr std::size_t kPieceBytes = std::size_t { 1 } << 20;

// A tile block is under 400 bytes even with a long item name and the widest numbers.
std::size_t EstimatedScriptBytes(const CSubDoc& section, std::size_t headerBytes)
{
    const CFixtureType* type = section.GetFixtureType();
    const std::size_t perTile = 400 + (type ? type->quarkName.size() : 0);
    return headerBytes + perTile * static_cast<std::size_t>(section.GetTileCount()) + 64;
}

} // namespace

std::string BuildSkopeScript(const CSubDoc& section, int sectionNumber, const std::string& date)
{
    std::string out;
    bool sized = false;
    ForEachSkopeScriptPiece(section, sectionNumber, date, [&](std::string_view piece) {
        if (!sized) {
            // Sized once from the first piece (the header, then the whole script is about
            // as large as its tile blocks) instead of growing it to hundreds of megabytes.
            out.reserve(EstimatedScriptBytes(section, piece.size()));
            sized = true;
        }
        out.append(piece);
    });
    return out;
}

bool SkopeScriptSourcesAreUtf8(const CSubDoc& section, const std::string& date)
{
    const CFixtureType* type = section.GetFixtureType();
    if (!IsValidUtf8(section.name) || !IsValidUtf8(date))
        return false;
    if (type == nullptr)
        return true;
    for (const std::string& name : type->styles) {
        if (!IsValidUtf8(name))
            return false;
    }
    return IsValidUtf8(type->quarkName);
}

void ForEachSkopeScriptPiece(const CSubDoc& section, int sectionNumber, const std::string& date,
    const std::function<void(std::string_view)>& piece)
{
    const CFixtureType* type = section.GetFixtureType();
    if (type == nullptr)
        return;
    const std::string style = type->StyleAt(section.setup.skope_style_type);
    if (style.empty())
        return;

    std::string styleList;
    for (const std::string& name : type->styles) {
        AppendLine(styleList, "\"%s\",", { name });
    }
    if (!styleList.empty())
        styleList.pop_back();

    // 64-bit arithmetic: absurd visualiser sizes must give their true values, not wrap.
    // Integer division truncates toward zero, as the visualiser expects.
    const long long n = sectionNumber;
    const long long columns = section.GetTileColumns();
    const long long rows = section.GetTileRows();
    const long long sx = type->skopeWidth;
    const long long sy = type->skopeHeight;
    const long long sz = type->skopeDepth;
    const int orientation = section.setup.orientation;
    const long long rotz = static_cast<long long>(orientation) * -90;
    long long orgx = -(((sx + kPadX) * columns) / 2) + kPadX / 2;
    if (orientation == 2 || orientation == 3)
        orgx += sx + kPadX;
    long long orgy = (sy + kPadY) * rows - sy + kPadY + kPadY / 2;
    if (orientation == 1 || orientation == 2)
        orgy += sx + kPadX;
    const long long orgz = -((n - 1) * kSectionDistance);

    std::string out;
    AppendLine(out, "// SECTION %i \"%s\" START\n", { n, section.name });
    AppendLine(out, "// created on %s by Kelvra QUILTMARK\n\n", { date });
    AppendLine(out, "int orgx%i, orgy%i, orgz%i;      // point of origin\n", { n, n, n });
    AppendLine(out, "int sizex%i, sizey%i, sizez%i;   // dimensions\n", { n, n, n });
    AppendLine(out, "int rotx%i, roty%i, rotz%i;      // rotation angle\n", { n, n, n });
    AppendLine(out, "int padx%i, pady%i;             // padding between the tiles\n", { n, n });
    AppendLine(out, "int colar%i, colag%i, colab%i;   // ambient color\n", { n, n, n });
    AppendLine(out, "int coldr%i, coldg%i, coldb%i;   // diffuse color\n", { n, n, n });
    AppendLine(out, "string kstyle%i;               // Skope item style\n\n", { n });
    AppendLine(out, "orgx%i=%i;\n", { n, orgx });
    AppendLine(out, "orgy%i=%i;\n", { n, orgy });
    AppendLine(out, "orgz%i=%i;\n\n", { n, orgz });
    AppendLine(out, "sizex%i=%i;\n", { n, sx });
    AppendLine(out, "sizey%i=%i;\n", { n, sy });
    AppendLine(out, "sizez%i=%i;\n\n", { n, sz });
    AppendLine(out, "rotx%i=%i;\n", { n, 0LL });
    AppendLine(out, "roty%i=%i;\n", { n, 0LL });
    AppendLine(out, "rotz%i=%i;\n\n", { n, rotz });
    AppendLine(out, "padx%i=%i;\n", { n, kPadX });
    AppendLine(out, "pady%i=%i;\n\n", { n, kPadY });
    AppendLine(out, "colar%i=128;\n", { n });
    AppendLine(out, "colag%i=128;\n", { n });
    AppendLine(out, "colab%i=128;\n\n", { n });
    AppendLine(out, "coldr%i=64;\n", { n });
    AppendLine(out, "coldg%i=64;\n", { n });
    AppendLine(out, "coldb%i=64;\n\n", { n });
    AppendLine(
        out, "kstyle%i=\"%s\";                // possible values: %s\n\n", { n, style, styleList });
    AppendLine(out, "// CREATE SECTION %i\n", { n });

    // The four lines of a tile differ only in column, row, universe and address: render
    // the constant pieces once, which keeps million-tile scripts fast.
    std::string beforeX;
    std::string beforeY;
    std::string beforeUniverse;
    AppendLine(beforeX, "MakeItem(kstyle%i, \"%s\", 0, orgx%i+(", { n, type->quarkName, n });
    AppendLine(beforeY, "*(sizex%i+padx%i)), orgy%i-(", { n, n, n });
    AppendLine(beforeUniverse,
        "*(sizey%i+pady%i)), orgz%i, sizex%i ,sizey%i, sizez%i, rotx%i, roty%i, rotz%i);\n",
        { n, n, n, n, n, n, n, n, n });
    AppendLine(beforeUniverse, "SetAmbient(-1, colar%i, colag%i, colab%i);\n", { n, n, n });
    AppendLine(beforeUniverse, "SetDiffuse(-1, coldr%i, coldg%i, coldb%i);\n", { n, n, n });
    beforeUniverse.append("SetDmxAddress(-1, ");
    const auto appendTile
        = [&](std::string& text, long long x, long long y, const CTileRecord& tile) {
              text.append(beforeX);
              AppendDecimal(text, x);
              text.append(beforeY);
              AppendDecimal(text, y);
              text.append(beforeUniverse);
              AppendDecimal(text, static_cast<long long>(tile.universe) + 1);
              text.append(", ");
              AppendDecimal(text, static_cast<long long>(tile.address) + 1);
              text.append(");\n\n");
          };

    // Only tiles that exist are written: a section that was never set up has none.
    piece(out);
    out.clear();
    for (long long y = 0; y < rows; ++y) {
        for (long long x = 0; x < columns; ++x) {
            const CTileRecord* tile = section.GetTile(static_cast<int>(x), static_cast<int>(y));
            if (tile != nullptr && !tile->excluded)
                appendTile(out, x, y, *tile);
        }
        if (out.size() >= kPieceBytes) {
            piece(out);
            out.clear();
        }
    }
    AppendLine(out, "// SECTION %i END\n\n\n\n", { n });
    piece(out);
}

std::string FormatScriptDate(std::time_t when)
{
    std::tm local {};
    if (localtime_r(&when, &local) == nullptr)
        return {};
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, "%Y.%m.%d %H:%M:%S", &local);
    return std::string(text, length);
}
