#include "plugin_folder.h"

#include <QCoreApplication>
#include <QDir>

namespace kelvo::host::app {

QString defaultPluginFolder() {
    return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                               .filePath(QStringLiteral(KELVO_HOST_PLUGIN_FOLDER)));
}

}  // namespace kelvo::host::app
