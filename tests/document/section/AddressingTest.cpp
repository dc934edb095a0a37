#include "../SectionTestSupport.h"

#include "document/section/Addressing.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// Position of tile (x, y) in the walk, worked out from the corner it starts in rather
// than by walking: whole lines before it, then its distance from the line's start side.
int ExpectedTileRank(int x, int y, int w, int h, int origin, bool vertical, bool snake)
{
    const int fromLeft = (origin & 1) ? w - 1 - x : x;
    const int fromTop = (origin & 2) ? h - 1 - y : y;
    const int line = vertical ? fromLeft : fromTop;
    const int length = vertical ? h : w;
    int step = vertical ? fromTop : fromLeft;
    if (snake && line % 2 == 1)
        step = length - 1 - step;
    return line * length + step;
}

// Position of quark (qx, qy) in the fixture's own channel order, in its own frame.
int ExpectedQuarkRank(int qx, int qy, int w, int h, int flags)
{
    const int px = (flags & 1) ? w - 1 - qx : qx;
    const int py = (flags & 2) ? h - 1 - qy : qy;
    const bool columns = (flags & 4) != 0;
    const int line = columns ? px : py;
    const int length = columns ? h : w;
    int step = columns ? py : px;
    if ((flags & 8) && line % 2 == 1)
        step = length - 1 - step;
    return line * length + step;
}

// Where quark (qx, qy) of a w x h fixture lies once the fixture is turned clockwise.
std::pair<int, int> Turned(int qx, int qy, int w, int h, int orientation)
{
    switch (orientation) {
    case 1:
        return { h - 1 - qy, qx };
    case 2:
        return { w - 1 - qx, h - 1 - qy };
    case 3:
        return { qy, w - 1 - qx };
    default:
        return { qx, qy };
    }
}

std::vector<int> RowAddresses(const CSubDoc& s)
{
    std::vector<int> result;
    for (const CTileRecord& t : s.Tiles())
        result.push_back(t.address);
    return result;
}

} // namespace

TEST(TileAddressing, EveryOriginDirectionAndSnakeVisitsTilesInTheExpectedOrder)
{
    const std::pair<int, int> sizes[] = { { 3, 2 }, { 4, 3 }, { 1, 5 }, { 5, 1 }, { 2, 2 } };
    for (auto [w, h] : sizes)
        for (int origin = 0; origin < 4; ++origin)
            for (int direction = 0; direction < 2; ++direction)
                for (int snake = 0; snake < 2; ++snake) {
                    SectionWith s({ 1, 1, 1 }, w, h);
                    s.section.setup.address_origin = origin;
                    s.section.setup.primary_direction = direction;
                    s.section.setup.check_invert_secondaries = snake;
                    ASSERT_TRUE(s.section.SetUp());
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x) {
                            const CTileRecord* t = s.section.GetTile(x, y);
                            EXPECT_EQ(t->universe, 0);
                            EXPECT_EQ(t->address,
                                ExpectedTileRank(x, y, w, h, origin, direction == 1, snake))
                                << w << "x" << h << " origin " << origin << " dir " << direction
                                << " snake " << snake << " tile " << x << "," << y;
                        }
                }
}

TEST(TileAddressing, WorkedExamples)
{
    SectionWith snake({ 1, 1, 3 }, 3, 2);
    snake.section.setup.check_invert_secondaries = 1;
    ASSERT_TRUE(snake.section.SetUp());
    EXPECT_EQ(RowAddresses(snake.section), (std::vector<int> { 0, 3, 6, 15, 12, 9 }));

    SectionWith corner({ 1, 1, 1 }, 2, 2);
    corner.section.setup.address_origin = 3;
    corner.section.setup.primary_direction = 1;
    corner.section.setup.check_invert_secondaries = 1;
    ASSERT_TRUE(corner.section.SetUp());
    // Visiting order (1,1), (1,0), (0,0), (0,1).
    EXPECT_EQ(RowAddresses(corner.section), (std::vector<int> { 2, 1, 3, 0 }));
}

TEST(TileAddressing, AFixtureNeverStraddlesTwoUniverses)
{
    struct Case {
        int channels, highest, first, perUniverse, lastAddress;
    };
    const Case cases[] = {
        { 3, 512, 0, 170, 507 },
        { 4, 512, 0, 128, 508 },
        { 3, 510, 0, 170, 507 },
        { 3, 509, 0, 169, 504 },
        { 512, 512, 0, 1, 0 },
    };
    for (const Case& c : cases) {
        SectionWith s({ 1, 1, c.channels }, 400, 1);
        s.section.setup.addr_count = c.highest;
        s.section.setup.base_universe = 4;
        ASSERT_TRUE(s.section.SetUp());
        const CTileRecord* last = s.section.GetTile(c.perUniverse - 1, 0);
        const CTileRecord* next = s.section.GetTile(c.perUniverse, 0);
        EXPECT_EQ(last->universe, 4) << c.channels << "/" << c.highest;
        EXPECT_EQ(last->address, c.lastAddress) << c.channels << "/" << c.highest;
        EXPECT_EQ(next->universe, 5);
        EXPECT_EQ(next->address, 0);
        for (const CTileRecord& t : s.section.Tiles())
            EXPECT_LE(t.address + c.channels, c.highest);
    }
}

TEST(TileAddressing, FirstAddressOnlyAppliesToTheBaseUniverse)
{
    SectionWith s({ 1, 1, 100 }, 14, 1);
    s.section.setup.addr_first = 100;
    ASSERT_TRUE(s.section.SetUp());
    const int expected[][2] = { { 0, 100 }, { 0, 200 }, { 0, 300 }, { 0, 400 }, { 1, 0 },
        { 1, 100 }, { 1, 200 }, { 1, 300 }, { 1, 400 }, { 2, 0 } };
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(s.section.GetTile(i, 0)->universe, expected[i][0]) << i;
        EXPECT_EQ(s.section.GetTile(i, 0)->address, expected[i][1]) << i;
    }

    // Wider than a universe: the first tile goes in unchecked, each later one opens a universe.
    SectionWith wide({ 1, 1, 600 }, 3, 1);
    wide.section.setup.addr_first = 7;
    ASSERT_TRUE(wide.section.SetUp());
    EXPECT_EQ(wide.section.GetTile(0, 0)->address, 7);
    EXPECT_EQ(wide.section.GetTile(1, 0)->universe, 1);
    EXPECT_EQ(wide.section.GetTile(2, 0)->universe, 2);
    EXPECT_EQ(wide.section.GetTile(2, 0)->address, 0);
    EXPECT_EQ(wide.section.GetUniverseCount(), 3);
}

TEST(TileAddressing, ExcludedAndUnselectedTilesConsumeNoChannels)
{
    SectionWith s({ 1, 1, 3 }, 5, 1);
    ASSERT_TRUE(s.section.SetUp());
    s.section.GetTile(2, 0)->excluded = 1;
    ASSERT_TRUE(s.section.SetUp());
    EXPECT_EQ(RowAddresses(s.section), (std::vector<int> { 0, 3, -1, 6, 9 }));
    EXPECT_EQ(s.section.GetTile(2, 0)->universe, -1);
    EXPECT_EQ(s.section.GetItem(2, 0)->address, -1);
    EXPECT_EQ(s.section.GetUniverseCounts().at(0), 4);

    s.section.GetTile(1, 0)->selected = 1;
    s.section.GetTile(2, 0)->selected = 1; // excluded: selected but still skipped
    s.section.GetTile(4, 0)->selected = 1;
    CAddressingParams params = CAddressingParams::FromSetup(s.section.setup);
    params.baseUniverse = 2;
    params.firstAddress = 10;
    AddressScope scope = AddressScope::SelectedTiles;
    AddressTiles(s.section, params, scope);
    EXPECT_EQ(RowAddresses(s.section), (std::vector<int> { 0, 10, -1, 6, 13 }));
    EXPECT_EQ(s.section.GetTile(1, 0)->universe, 2);
    EXPECT_EQ(s.section.GetTile(3, 0)->universe, 0);
    EXPECT_EQ(s.section.GetUniverseCounts(), (std::map<int, int> { { 0, 2 }, { 2, 2 } }));
    // The section's own parameters are untouched by a run with other ones.
    EXPECT_EQ(s.section.setup.base_universe, 0);
}

TEST(TileAddressing, AbsurdParametersNeitherOverflowNorWrap)
{
    SectionWith s({ 1, 1, 600 }, 6, 1);
    s.section.setup.base_universe = kHighestUniverse - 2;
    ASSERT_TRUE(s.section.SetUp());
    EXPECT_EQ(s.section.GetTile(2, 0)->universe, kHighestUniverse);
    for (int x = 3; x < 6; ++x) {
        EXPECT_EQ(s.section.GetTile(x, 0)->universe, -1);
        EXPECT_EQ(s.section.GetTile(x, 0)->address, -1);
    }
    EXPECT_EQ(s.section.SelectUndefined(), 3);
    EXPECT_EQ(s.section.GetHighestUniverse(), kHighestUniverse);

    SectionWith far({ 16, 16, 256 }, 3, 1); // 65536 channels per tile
    far.section.setup.addr_first = INT_MAX;
    far.section.setup.addr_count = INT_MAX;
    ASSERT_TRUE(far.section.SetUp());
    EXPECT_EQ(far.section.GetTile(0, 0)->address, INT_MAX);
    EXPECT_EQ(far.section.GetTile(1, 0)->universe, 1);
    EXPECT_EQ(far.section.GetTile(1, 0)->address, 0);
    EXPECT_EQ(far.section.GetTile(2, 0)->address, 65536);
    for (const CPatchEntry& item : ItemsOf(far.section))
        EXPECT_GE(item.address, 0); // clamped, never wrapped
}

TEST(ItemDerivation, EveryOrientationAndFlagTurnsTheFixturesOwnOrder)
{
    const std::pair<int, int> shapes[] = { { 2, 2 }, { 3, 2 }, { 1, 3 }, { 4, 1 } };
    const int perQuark = 3, header = 2;
    for (auto [fw, fh] : shapes)
        for (int orientation = 0; orientation < 4; ++orientation)
            for (int flags = 0; flags < 16; ++flags) {
                SectionWith s({ fw, fh, perQuark, flags, header, 1 }, 2, 2);
                s.section.setup.orientation = orientation;
                ASSERT_TRUE(s.section.SetUp());
                const int X = s.section.ItemsPerTileX(), Y = s.section.ItemsPerTileY();
                for (int ty = 0; ty < 2; ++ty)
                    for (int tx = 0; tx < 2; ++tx) {
                        const CTileRecord* tile = s.section.GetTile(tx, ty);
                        for (int qy = 0; qy < fh; ++qy)
                            for (int qx = 0; qx < fw; ++qx) {
                                auto [ix, iy] = Turned(qx, qy, fw, fh, orientation);
                                const std::optional<CPatchEntry> item
                                    = s.section.GetItem(tx * X + ix, ty * Y + iy);
                                ASSERT_TRUE(item.has_value());
                                EXPECT_EQ(item->universe, tile->universe);
                                EXPECT_EQ(item->address,
                                    tile->address + header
                                        + perQuark * ExpectedQuarkRank(qx, qy, fw, fh, flags))
                                    << fw << "x" << fh << " orientation " << orientation
                                    << " flags " << flags << " quark " << qx << "," << qy;
                            }
                    }
            }
}

TEST(ItemDerivation, WorkedExamplesAndHeader)
{
    SectionWith s({ 2, 2, 3 }, 1, 1);
    ASSERT_TRUE(s.section.SetUp());
    auto offsets = [&] {
        std::vector<int> r;
        for (const CPatchEntry& e : ItemsOf(s.section))
            r.push_back(e.address);
        return r;
    };
    EXPECT_EQ(offsets(), (std::vector<int> { 0, 3, 6, 9 }));
    s.section.setup.orientation = 2;
    s.section.RebuildItems();
    EXPECT_EQ(offsets(), (std::vector<int> { 9, 6, 3, 0 }));

    SectionWith h({ 1, 1, 3, 0, 2 }, 1, 1);
    ASSERT_TRUE(h.section.SetUp());
    h.section.GetTile(0, 0)->address = 10;
    h.section.DeriveItems(0, 0);
    EXPECT_EQ(h.section.GetItem(0, 0)->address, 12);

    // A tile without an address has no item addresses.
    h.section.GetTile(0, 0)->address = -1;
    h.section.DeriveItems(0, 0);
    EXPECT_EQ(h.section.GetItem(0, 0)->address, -1);
    EXPECT_EQ(h.section.GetItem(0, 0)->universe, -1);

    EXPECT_EQ(TransformFlagsForOrientation(16 | 8 | 1, 1), 16 | 8 | 4 | 2 | 1);
    EXPECT_EQ(TransformFlagsForOrientation(32 | 2, 3), 32 | 4 | 2 | 1);
    EXPECT_EQ(TransformFlagsForOrientation(5, 7), 5);
}

TEST(ItemDerivation, ExplicitOffsetTableIgnoresOrderBitsAndOrientation)
{
    CMetaLib library;
    auto type = std::make_unique<CFixtureType>();
    type->width = 2;
    type->height = 2;
    type->addressesPerQuark = 1;
    type->headerAddresses = 1;
    type->flags = 16 | 5;
    type->dmxMatrix = std::vector<uint16_t> { 40, 30, 20, 10 };
    const int index = library.Add(std::move(type));
    for (int orientation = 0; orientation < 4; ++orientation) {
        CSubDoc s(&library);
        s.setup.fix_type = index;
        s.setup.matrix_width = 2;
        s.setup.matrix_height = 1;
        s.setup.addr_first = 100;
        s.setup.orientation = orientation;
        ASSERT_TRUE(s.SetUp());
        EXPECT_EQ(s.GetItem(0, 0)->address, 141);
        EXPECT_EQ(s.GetItem(1, 0)->address, 131);
        EXPECT_EQ(s.GetItem(0, 1)->address, 121);
        EXPECT_EQ(s.GetItem(3, 1)->address, 100 + 5 + 1 + 10);
    }
}

TEST(ItemDerivation, NonSquareOffsetTableOnATurnedTileStaysInsideTheTile)
{
    CMetaLib library;
    auto type = std::make_unique<CFixtureType>();
    type->width = 3;
    type->height = 1;
    type->addressesPerQuark = 1;
    type->flags = 16;
    type->dmxMatrix = std::vector<uint16_t> { 2, 1, 0 };
    const int index = library.Add(std::move(type));
    CSubDoc s(&library);
    s.setup.fix_type = index;
    s.setup.matrix_width = 2;
    s.setup.matrix_height = 1;
    s.setup.orientation = 1; // tile is 1 item wide, 3 high
    ASSERT_TRUE(s.SetUp());
    ASSERT_EQ(s.GetItemColumns(), 2);
    ASSERT_EQ(s.GetItemRows(), 3);
    EXPECT_EQ(s.GetItem(0, 0)->address, 2);
    EXPECT_EQ(s.GetItem(1, 0)->address, 3 + 2); // the neighbour tile is not overwritten
    for (int i = 0; i < 2; ++i)
        for (int j = 1; j < 3; ++j) {
            EXPECT_EQ(s.GetItem(i, j)->address, -1);
            EXPECT_EQ(s.GetItem(i, j)->universe, -1);
        }
}

namespace {

// What addressing every tile gives, by stepping a counter along the walk one tile at a
// time: the plain reading of the rules, against which the row-by-row arithmetic is held.
struct SteppedWalk {
    std::vector<std::pair<int, int>> places; // per tile in storage order
    std::map<int, int> counts;
    // The channel keys occupied, joined where consecutive tiles touch; empty on overlap.
    std::vector<std::pair<int64_t, int64_t>> ranges;
    bool overlap = false;
};

SteppedWalk StepThrough(const CSubDoc& s, long long channels)
{
    const CAddressingParams params = CAddressingParams::FromSetup(s.setup);
    SteppedWalk walk;
    walk.places.assign(s.Tiles().size(), { -1, -1 });
    long long universe = params.baseUniverse;
    long long address = params.firstAddress;
    int64_t first = INT64_MIN, end = INT64_MIN;
    ForEachTileInAddressOrder(s.GetTileColumns(), s.GetTileRows(), params, [&](long long i) {
        if (s.Tiles()[i].excluded || universe > kHighestUniverse)
            return;
        walk.places[i] = { static_cast<int>(universe), static_cast<int>(address) };
        ++walk.counts[static_cast<int>(universe)];
        const int64_t key = universe * 512 + address;
        if (key == end)
            end += channels;
        else if (key > end) {
            if (end != INT64_MIN)
                walk.ranges.emplace_back(first, end);
            first = key;
            end = key + channels;
        } else {
            walk.overlap = true;
        }
        address += channels;
        if (address + channels > params.highestAddress) {
            address = 0;
            ++universe;
        }
    });
    if (end != INT64_MIN)
        walk.ranges.emplace_back(first, end);
    return walk;
}

std::vector<std::pair<int, int>> PlacesOf(const CSubDoc& s)
{
    std::vector<std::pair<int, int>> places;
    for (const CTileRecord& t : s.Tiles())
        places.emplace_back(t.universe, t.address);
    return places;
}

} // namespace

// Random sections of every walk order, fixture and addressing range, some large enough to
// be split over two threads, some running past the highest universe.
TEST(TileAddressing, AddressingEveryTileAgreesWithAStepByStepWalk)
{
    std::mt19937 random(20261209);
    const auto pick
        = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 300; ++round) {
        const bool large = round % 50 == 0;
        const FixtureShape shape { pick(1, 3), pick(1, 3), pick(0, 4), pick(0, 15), pick(0, 2),
            pick(0, 1) };
        SectionWith s(
            shape, large ? pick(500, 700) : pick(1, 30), large ? pick(400, 600) : pick(1, 30));
        CSectionSetup& setup = s.section.setup;
        setup.orientation = pick(0, 3);
        setup.address_origin = pick(0, 3);
        setup.primary_direction = pick(0, 1);
        setup.check_invert_secondaries = pick(0, 1);
        setup.base_universe = pick(0, 3) == 0 ? kHighestUniverse - pick(0, 40) : pick(0, 5);
        setup.addr_first = pick(0, 3) == 0 ? pick(0, 700) : pick(0, 20);
        setup.addr_count = pick(0, 3) == 0 ? pick(1, 700) : 512;
        ASSERT_TRUE(s.section.SetUp());
        std::vector<CTileRecord>& tiles = s.section.Tiles();
        const int excludedShare = pick(0, 4); // none .. most
        for (CTileRecord& t : tiles)
            t.excluded = pick(0, 9) < excludedShare * 2 ? 1 : 0;
        const CAddressingParams params = CAddressingParams::FromSetup(setup);
        const long long channels = s.section.ChannelsPerFixture();
        const SteppedWalk walk = StepThrough(s.section, channels);
        SCOPED_TRACE("round " + std::to_string(round));

        // Addresses left over from before must not matter, nor count as following.
        EXPECT_EQ(TilesFollowAddressing(s.section, params), PlacesOf(s.section) == walk.places);
        AddressTiles(s.section, params, AddressScope::AllTiles);
        ASSERT_EQ(PlacesOf(s.section), walk.places);
        EXPECT_EQ(s.section.GetUniverseCounts(), walk.counts);
        EXPECT_TRUE(TilesFollowAddressing(s.section, params));

        // Past the highest universe the caller steps through the tiles instead.
        using Ranges = std::vector<std::pair<int64_t, int64_t>>;
        Ranges ranges { { 1, 2 } };
        const bool joined = AddressedChannelRanges(s.section, params, ranges);
        const bool beyond = s.section.SelectUndefined() > 0;
        const bool plain = channels > 0 && !walk.overlap && !beyond;
        EXPECT_EQ(joined, plain);
        EXPECT_EQ(ranges, joined ? walk.ranges : Ranges {});

        // One tile off anywhere, or an excluded tile keeping an address, is noticed.
        CTileRecord& changed
            = tiles[static_cast<std::size_t>(pick(0, static_cast<int>(tiles.size()) - 1))];
        switch (pick(0, 2)) {
        case 0:
            changed.address += changed.address < 0 ? 2 : 1;
            break;
        case 1:
            changed.universe += changed.universe < 0 ? 2 : 1;
            break;
        default:
            changed.excluded = changed.excluded ? 0 : 1;
            break;
        }
        const bool stillFollows = StepThrough(s.section, channels).places == PlacesOf(s.section);
        EXPECT_EQ(TilesFollowAddressing(s.section, params), stillFollows);
        EXPECT_EQ(AddressedChannelRanges(s.section, params, ranges), stillFollows && plain);
    }
}
