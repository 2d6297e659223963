#include <gtest/gtest.h>

#include <map>
#include <set>

#include <boost/optional/optional_io.hpp>

#include <QtCore/QFile>
#include <QtGui/QImage>

#include "catalogue/icons.h"

namespace catalogue = kelvo::plugin::crypto::catalogue;

TEST(Icons, MapExtensionsToResourcePaths) {
    EXPECT_EQ(std::string(":/file_extension/crt.png"), catalogue::iconPath(".cer"));
    EXPECT_EQ(std::string(":/file_extension/xml+sig.png"),
              catalogue::iconPath(catalogue::kSignedXmlExtension));
    EXPECT_FALSE(catalogue::iconPath(".PDF"));
    EXPECT_FALSE(catalogue::iconPath("pdf"));
    EXPECT_FALSE(catalogue::iconPath(".mng"));
}

TEST(Icons, EveryIconIsADistinctLoadableImage) {
    std::map<std::string, QByteArray> files;
    for (const std::string& extension : catalogue::iconExtensions()) {
        const std::string path = *catalogue::iconPath(extension);
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path;
        files[path] = file.readAll();
    }
    std::set<QByteArray> contents;
    for (const auto& [path, bytes] : files) {
        QImage image;
        ASSERT_TRUE(image.loadFromData(bytes, "PNG")) << path;
        EXPECT_EQ(QSize(32, 32), image.size()) << path;
        contents.insert(bytes);
    }
    EXPECT_EQ(files.size(), contents.size());
}
