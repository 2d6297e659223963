#include <cstdlib>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "host_module.h"
#include "host_session.h"
#include "module_loader.h"
#include "pin_source.h"
#include "terminal_ui_service.h"

using namespace kelvo::host;
using namespace kelvo::host::app;

namespace {

QString testModule(const char* name) {
    return QDir(QString::fromLocal8Bit(std::getenv("HOST_TEST_MODULES")))
        .absoluteFilePath(QString("lib%1.so").arg(name));
}

std::vector<PluginFile> files(std::initializer_list<const char*> names) {
    std::vector<PluginFile> result;
    for (const char* name : names) {
        auto file = ModuleLoader::inspect(testModule(name));
        EXPECT_TRUE(file) << name;
        if (file) {
            result.push_back(*file);
        }
    }
    return result;
}

std::string stateOf(const HostSession& host, const std::string& name) {
    const auto& modules = host.registry().modules;
    const auto found = modules.find(name);
    return found == modules.end()
               ? "absent"
               : kelvo::plugin::shared::loadStateName(static_cast<int>(found->second.state));
}

// A host session with a terminal service that is never asked for a PIN.
struct Host {
    ScriptedPins pins;
    std::ostringstream notices;
    TerminalUiService ui{pins, notices};
    HostSession session{"kelvo.plugin", true, ui};
};

}  // namespace

TEST(ModuleLoader, ReadsMetadataWithoutLoadingTheLibrary) {
    const auto file = ModuleLoader::inspect(testModule("needs_leaf"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->meta->name, "needs_leaf");
    ASSERT_EQ(file->meta->formats.size(), 1u);
    EXPECT_EQ(file->meta->formats[0].format.version, "0.1");
    EXPECT_EQ(file->meta->formats[0].format.category, "plugin");
    EXPECT_EQ(file->meta->dependencies, std::vector<std::string>{"leaf"});
    EXPECT_EQ(file->methods.size(), 1);
    // The broken library cannot be loaded, yet its metadata reads.
    EXPECT_TRUE(ModuleLoader::inspect(testModule("broken")));
}

TEST(ModuleLoader, ScanSkipsFilesThatAreNoModules) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(testModule("leaf"), dir.filePath("libleaf.so")));
    QFile junk(dir.filePath("libjunk.so"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a library");
    junk.close();
    QFile text(dir.filePath("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.close();

    const auto found = ModuleLoader::scan(dir.path());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].meta->name, "leaf");
}

TEST(ModuleLoader, LoadStatesOfEveryOutcome) {
    Host host;
    // The dependent module comes first: loading follows dependencies, not file order.
    host.session.load(files({"needs_leaf", "leaf", "needs_absent", "broken", "plain"}),
                      {{"absent"}, {}});
    EXPECT_EQ(stateOf(host.session, "leaf"), "loaded");
    EXPECT_EQ(stateOf(host.session, "needs_leaf"), "loaded");
    EXPECT_EQ(stateOf(host.session, "needs_absent"), "conflict [ not found dependencies ]");
    EXPECT_EQ(stateOf(host.session, "absent"), "not found");
    EXPECT_EQ(stateOf(host.session, "broken"), "load failed");
    EXPECT_EQ(stateOf(host.session, "plain"), "load failed");
    EXPECT_EQ(stateOf(host.session, "host"), "loaded");

    const auto& modules = host.session.registry().modules;
    EXPECT_NE(modules.at("leaf").instance, nullptr);
    EXPECT_EQ(modules.at("needs_absent").instance, nullptr);
    EXPECT_EQ(modules.at("broken").instance, nullptr);
    EXPECT_EQ(host.session.metas().count("broken"), 0u);
    EXPECT_EQ(host.session.metas().count("leaf"), 1u);
}

TEST(ModuleLoader, DisabledModuleLeavesItsDependentsInConflict) {
    Host host;
    host.session.load(files({"leaf", "needs_leaf"}), {{}, {"leaf"}});
    EXPECT_EQ(stateOf(host.session, "leaf"), "disabled");
    EXPECT_EQ(stateOf(host.session, "needs_leaf"), "conflict [ not found dependencies ]");
}

TEST(HostSession, InitHandsEveryLoadedModuleItsSessionAndRecord) {
    // A module that remembers what init gave it.
    struct Recorder : kelvo::plugin::module::Module {
        void init(Session* session,
                  const boost::shared_ptr<kelvo::plugin::shared::ModuleMeta>& meta) override {
            given = session;
            name = meta->name;
        }
        Session* given = nullptr;
        std::string name;
    };
    Host host;
    host.session.load(files({"leaf"}), {});
    Recorder recorder;
    auto& registry = *host.session.session()->registry;
    registry.modules["host"].instance = &recorder;
    host.session.init();
    EXPECT_EQ(recorder.given, host.session.session());
    EXPECT_EQ(recorder.name, "host");
}
