#include <gtest/gtest.h>
#include <boost/smart_ptr/make_shared.hpp>

#include "log_capture.h"
#include "module/module.h"

using namespace kelvo::plugin;

namespace {

boost::shared_ptr<shared::ModuleMeta> zolvexMeta() {
    auto meta = boost::make_shared<shared::ModuleMeta>();
    meta->name = "zolvex";
    meta->formats.push_back(
        {{"zolvex", "1.3.45.0", "plugin", "provides communication with zolvex api"}, ""});
    return meta;
}

}  // namespace

TEST(ModuleBase, InitLogsStartAndMetaAndDestructionLogsFinish) {
    kelvo::test::LogCapture log;
    {
        module::Module module;
        kelvo::host::Session session;
        module.init(&session, zolvexMeta());
        EXPECT_EQ(log.texts(),
                  (std::vector<std::string>{
                      "zolvex start ",
                      "zolvex meta [{\"format\":{\"type\":\"zolvex\",\"version\":\"1.3.45.0\","
                      "\"category\":\"plugin\",\"description\":\"provides communication with "
                      "zolvex api\"},\"data\":\"\"}]"}));
        log.clear();
    }
    EXPECT_EQ(log.texts(), std::vector<std::string>{"zolvex finish "});
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.severity, boost::log::trivial::info);
    }
}

TEST(ModuleBase, DestroyedBeforeInitLogsNothing) {
    kelvo::test::LogCapture log;
    { module::Module module; }
    EXPECT_TRUE(log.lines().empty());
}
