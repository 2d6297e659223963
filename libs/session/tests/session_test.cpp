#include <gtest/gtest.h>

#include "log_capture.h"
#include "session/session.h"
#include "shared/module_meta.h"

using namespace kelvo;
using plugin::shared::FormatRecord;

namespace {

const std::string kWarning = "session: unable to get category from config";

}  // namespace

TEST(SessionCategory, ComesFromTheCoreRecordOnly) {
    test::LogCapture log;
    FormatRecord core{"core", "1.0", "kelvo.plugin", ""};
    host::Session session{&core, nullptr, nullptr};
    EXPECT_EQ(plugin::session::category(&session).value_or(""), "kelvo.plugin");
    EXPECT_TRUE(log.lines().empty());

    core.type = "Core";
    EXPECT_FALSE(plugin::session::category(&session));
    core.type = "core";
    core.category.clear();
    EXPECT_FALSE(plugin::session::category(&session));
    session.coreFormat = nullptr;
    EXPECT_FALSE(plugin::session::category(&session));
    EXPECT_FALSE(plugin::session::category(nullptr));
    ASSERT_EQ(log.lines().size(), 4u);
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.text, kWarning);
        EXPECT_EQ(line.severity, boost::log::trivial::warning);
    }
}

TEST(SessionModules, SkipsModulesThatAreNotLoaded) {
    auto* first = reinterpret_cast<plugin::module::Module*>(0x1000);
    auto* second = reinterpret_cast<plugin::module::Module*>(0x2000);
    host::ModuleRegistry registry;
    registry.modules["a"].instance = second;
    registry.modules["b"].instance = nullptr;
    registry.modules["c"].instance = first;
    registry.modules["d"].instance = first;  // the same instance twice collapses
    host::Session session{nullptr, &registry, nullptr};
    EXPECT_EQ(plugin::session::modules(&session),
              (std::set<plugin::module::Module*>{first, second}));
    EXPECT_TRUE(plugin::session::modules(nullptr).empty());
}

TEST(SessionCaching, FollowsTheHostSwitch) {
    bool caching = false;
    host::Session session{nullptr, nullptr, &caching};
    EXPECT_FALSE(plugin::session::tokenCaching(&session));
    caching = true;
    EXPECT_TRUE(plugin::session::tokenCaching(&session));
    session.tokenCaching = nullptr;
    EXPECT_TRUE(plugin::session::tokenCaching(&session));
}
