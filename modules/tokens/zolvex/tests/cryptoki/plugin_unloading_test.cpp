// The plug-in unloads once the host drops it, also after binding the vendor library beside
// the program.
#include <dlfcn.h>

#include <cstdlib>

#include <gtest/gtest.h>
#include <QObject>
#include <boost/smart_ptr/make_shared.hpp>

#include "host/session.h"
#include "mapped_libraries.h"
#include "module/itoken.h"
#include "module/module.h"
#include "shared/module_meta.h"

using namespace kelvo;

TEST(PluginUnloading, DlcloseTakesTheLibraryOutOfTheProcess) {
    if (kelvo::test::isMapped("libzolvex.so")) {
        GTEST_SKIP() << "an earlier test of this process keeps the plug-in loaded";
    }
    void* library = ::dlopen(std::getenv("ZOLVEX_PLUGIN"), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    using Instance = QObject* (*)();
    auto instance = reinterpret_cast<Instance>(::dlsym(library, "qt_plugin_instance"));
    ASSERT_NE(instance, nullptr);
    {
        // What a host does before it unloads a module: initialise it, let it bind the vendor
        // library, destroy the root object.
        auto* module = static_cast<plugin::module::Module*>(instance());
        plugin::shared::FormatRecord core{"core", "1.0", "kelvo.plugin", ""};
        host::Session session{&core, nullptr, nullptr};
        auto meta = boost::make_shared<plugin::shared::ModuleMeta>();
        meta->name = "zolvex";
        module->init(&session, meta);
        EXPECT_TRUE(qobject_cast<plugin::module::IToken*>(module)->createCryptoki());
        delete module;
    }
    EXPECT_TRUE(kelvo::test::isMapped("libzolvex.so"));
    EXPECT_EQ(::dlclose(library), 0);
    EXPECT_FALSE(kelvo::test::isMapped("libzolvex.so"));
}
