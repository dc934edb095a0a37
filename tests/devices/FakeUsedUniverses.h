#pragma once

#include "devices/KelvraDeviceList.h"

#include <set>
#include <utility>

// A project's used-universe set without a project behind it.
class FakeUsedUniverses : public IUsedUniverses {
public:
    explicit FakeUsedUniverses(std::set<int> universes)
        : m_universes(std::move(universes))
    {
    }
    int GetUsedUniverseCount() const override { return static_cast<int>(m_universes.size()); }
    int GetNextUsedUniverse(int u) const override
    {
        auto it = m_universes.upper_bound(u);
        return it == m_universes.end() ? -1 : *it;
    }

private:
    std::set<int> m_universes;
};
