#include "app/base/UserMessages.h"
#include "app/library/MetaLib.h"

#include <cstddef>
#include <cstdint>

// Feeds arbitrary bytes to the fixture-library reader and reads every derived value of
// whatever it accepted, so that bad sizes or offsets show up under the sanitizers.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CMetaLib lib;
    lib.LoadFromBuffer(reinterpret_cast<const char*>(data), size);
    volatile uint64_t sink = 0;
    for (int i = 0; i < lib.GetCount(); ++i) {
        const CFixtureType* t = lib.GetAt(i);
        sink = sink + static_cast<uint64_t>(t->ChannelsPerFixture())
            + static_cast<uint64_t>(t->QuarksPerFixture()) + (t->IsUsable() ? 1u : 0u);
        sink = sink + t->SwitchValue(static_cast<uint32_t>(i) * 37u);
        sink = sink + t->StyleAt(i).size() + t->StyleAt(-1).size();
        sink = sink + static_cast<uint64_t>(lib.IndexOfType(t->type))
            + static_cast<uint64_t>(lib.IndexOfOldIndex(t->oldIndex));
        // Walk the whole matrix only for sizes a section could use; others stay bounded.
        const int w = t->width > 0 && t->width <= 64 ? t->width : 1;
        const int h = t->height > 0 && t->height <= 64 ? t->height : 1;
        for (int y = -1; y <= h; ++y)
            for (int x = -1; x <= w; ++x)
                sink = sink + t->MatrixOffset(x, y);
    }
    CSilentMessages messages;
    sink = sink + static_cast<uint64_t>(lib.ResolveTypeName("NO_SUCH_TYPE", "Section", messages));
    (void)sink;
    return 0;
}
