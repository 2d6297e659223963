#include "plugin_folder.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace kelvo::host::app {

namespace {

bool holdsPlugin(const QDir& folder) {
    const QStringList files = folder.entryList(QDir::Files);
    return std::any_of(files.begin(), files.end(), [&folder](const QString& name) {
        return QLibrary::isLibrary(folder.filePath(name));
    });
}

}  // namespace

QString defaultPluginFolder() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    // The installed layout first, then the build tree's.
    const QStringList candidates = {
        QDir::cleanPath(programFolder.filePath(QStringLiteral(KELVO_HOST_INSTALLED_PLUGIN_FOLDER))),
        QDir::cleanPath(programFolder.filePath(QStringLiteral(KELVO_HOST_PLUGIN_FOLDER)))};
    for (const QString& candidate : candidates) {
        if (holdsPlugin(QDir(candidate))) {
            return candidate;
        }
    }
    return candidates.front();
}

}  // namespace kelvo::host::app
