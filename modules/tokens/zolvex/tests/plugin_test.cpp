#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <QCborMap>
#include <QCborValue>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPluginLoader>
#include <QPointer>
#include <boost/smart_ptr/make_shared.hpp>

#include "log_capture.h"
#include "module/itoken.h"
#include "module/module.h"
#include "shared/module_meta.h"

using namespace kelvo;

namespace {

QString pluginPath() {
    return QString::fromLocal8Bit(std::getenv("ZOLVEX_PLUGIN"));
}

boost::shared_ptr<plugin::shared::ModuleMeta> zolvexMeta() {
    auto meta = boost::make_shared<plugin::shared::ModuleMeta>();
    meta->name = "zolvex";
    meta->formats.push_back(
        {{"zolvex", "1.3.45.0", "plugin", "provides communication with zolvex api"}, ""});
    return meta;
}

}  // namespace

// The host reads the module's metadata file as written, without loading the code.
TEST(PluginMetadata, HostReadsTheModulesFileWithoutLoadingTheCode) {
    QPluginLoader loader(pluginPath());
    const QJsonObject metaData = loader.metaData();
    EXPECT_FALSE(loader.isLoaded());
    EXPECT_EQ(metaData.value("IID").toString(), "plugin");
    EXPECT_EQ(metaData.value("className").toString(), "Zolvex");
    QFile file(ZOLVEX_METADATA_FILE);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(metaData.value("MetaData").toObject(),
              QJsonDocument::fromJson(file.readAll()).object());
}

TEST(PluginMetadata, BlockLayout) {
    void* library = ::dlopen(pluginPath().toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    using Query = const unsigned char* (*)();
    auto query = reinterpret_cast<Query>(::dlsym(library, "qt_plugin_query_metadata"));
    ASSERT_NE(query, nullptr);
    const unsigned char* block = query();
    EXPECT_EQ(query(), block);
    EXPECT_EQ(std::memcmp(block, "QTMETADATA !", 12), 0);
    EXPECT_EQ(block[12], 0);
    EXPECT_EQ(block[13], 5);
    EXPECT_EQ(block[14], 15);
    EXPECT_EQ(block[15], 0);

    const QByteArray cbor(reinterpret_cast<const char*>(block) + 16, 206);
    EXPECT_EQ(static_cast<unsigned char>(cbor.front()), 0xBF);  // indefinite-length map
    EXPECT_EQ(static_cast<unsigned char>(cbor.back()), 0xFF);   // closed by the break byte
    QCborParserError error;
    const QCborMap map = QCborValue::fromCbor(cbor, &error).toMap();
    EXPECT_EQ(error.error, QCborError::NoError);
    EXPECT_EQ(map.keys().size(), 3);
    EXPECT_EQ(map.value(2).toString(), "plugin");
    EXPECT_EQ(map.value(3).toString(), "Zolvex");
    EXPECT_EQ(map.value(4).toMap().keys().size(), 3);
    ::dlclose(library);
}

TEST(PluginInstance, OneRootObjectWithTheTokenFace) {
    QPluginLoader loader(pluginPath());
    QObject* root = loader.instance();
    ASSERT_NE(root, nullptr) << loader.errorString().toStdString();
    EXPECT_EQ(loader.instance(), root);
    EXPECT_STREQ(root->metaObject()->className(), "kelvo::plugin::module::Zolvex");

    void* token = root->qt_metacast("plugin.IToken");
    ASSERT_NE(token, nullptr);
    EXPECT_NE(token, static_cast<void*>(root));
    EXPECT_EQ(root->qt_metacast("cryptoki::Token"), token);
    EXPECT_EQ(root->qt_metacast("QObject"), static_cast<void*>(root));
    EXPECT_EQ(root->qt_metacast(nullptr), nullptr);
    EXPECT_EQ(qobject_cast<plugin::module::IToken*>(root), token);

    QPointer<QObject> watched(root);
    delete root;
    EXPECT_TRUE(watched.isNull());
    QObject* fresh = loader.instance();
    ASSERT_NE(fresh, nullptr);
    delete fresh;
}

TEST(PluginInstance, UnknownEditionLeavesTheModuleUninitialised) {
    QPluginLoader loader(pluginPath());
    auto* module = static_cast<plugin::module::Module*>(loader.instance());
    ASSERT_NE(module, nullptr);
    plugin::shared::FormatRecord core{"core", "1.0", "other.plugin", ""};
    host::Session session{&core, nullptr, nullptr};
    kelvo::test::LogCapture log;
    try {
        module->init(&session, zolvexMeta());
        ADD_FAILURE() << "init accepted an unknown edition";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "ui: unable to get category from other.plugin");
    }
    EXPECT_TRUE(log.lines().empty());
    delete module;
    EXPECT_TRUE(log.lines().empty());
}
