#include "shell/CommandRouter.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// Handles the listed commands and writes its name into a shared log when it runs one.
class CFakeTarget : public ICommandTarget {
public:
    CFakeTarget(std::string name, std::vector<CommandId> ids, std::string& log)
        : m_name(std::move(name))
        , m_ids(std::move(ids))
        , m_log(log)
    {
    }
    bool OnCommand(CommandId id) override
    {
        if (!Knows(id))
            return false;
        m_log += m_name;
        return true;
    }
    bool OnUpdateCommand(CommandId id, CCommandState& state) override
    {
        if (!Knows(id))
            return false;
        state.enabled = enabled;
        state.checked = checked;
        return true;
    }
    bool enabled = true;
    bool checked = false;

private:
    bool Knows(CommandId id) const
    {
        return std::find(m_ids.begin(), m_ids.end(), id) != m_ids.end();
    }
    std::string m_name;
    std::vector<CommandId> m_ids;
    std::string& m_log;
};

} // namespace

TEST(CommandRouterTest, FirstTargetWinsAndUnhandledIsDisabled)
{
    std::string log;
    CFakeTarget view("view", { CommandId::ViewZoomIn }, log);
    CFakeTarget doc("doc", { CommandId::FileSave, CommandId::ViewZoomIn }, log);
    CFakeTarget app("app", { CommandId::FileNew, CommandId::FileSave }, log);
    CCommandRouter router;
    router.SetTargets({ &view, &doc, nullptr, &app });

    EXPECT_TRUE(router.Execute(CommandId::ViewZoomIn));
    EXPECT_TRUE(router.Execute(CommandId::FileSave));
    EXPECT_TRUE(router.Execute(CommandId::FileNew));
    EXPECT_EQ(log, "viewdocapp");

    EXPECT_FALSE(router.Query(CommandId::HelpAbout).enabled);
    EXPECT_FALSE(router.Execute(CommandId::HelpAbout));

    view.checked = true;
    EXPECT_TRUE(router.Query(CommandId::ViewZoomIn).checked);
    // A command its first target disables does not reach a later one either.
    view.enabled = false;
    EXPECT_FALSE(router.Query(CommandId::ViewZoomIn).enabled);
    EXPECT_FALSE(router.Execute(CommandId::ViewZoomIn));
    EXPECT_EQ(log, "viewdocapp");
}
