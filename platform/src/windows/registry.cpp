#include "platform/registry.h"

#include <QSettings>

namespace kelvo::platform::registry {

QStringList childGroups(const QString& key, View view) {
    QString path = key;
    while (path.endsWith('\\')) {
        path.chop(1);
    }
    // A 32-bit program reads the 32-bit view unless it asks for the 64-bit one explicitly.
    const QSettings::Format format =
        view == View::Native64 ? QSettings::Registry64Format : QSettings::Registry32Format;
    const QSettings settings(path, format);
    return settings.childGroups();
}

}  // namespace kelvo::platform::registry
