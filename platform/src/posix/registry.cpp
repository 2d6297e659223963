#include "platform/registry.h"

#include <QSettings>

namespace kelvo::platform::registry {

namespace {

// "HKEY_LOCAL_MACHINE\SOFTWARE\<organisation>\<application>\" -> organisation, application.
bool splitKey(const QString& key, QString& organisation, QString& application) {
    const QStringList parts = key.split('\\', Qt::SkipEmptyParts);
    if (parts.size() < 4) {
        return false;
    }
    organisation = parts.at(2);
    application = parts.at(3);
    return true;
}

}  // namespace

QStringList childGroups(const QString& key, View) {
    QString organisation;
    QString application;
    if (!splitKey(key, organisation, application)) {
        return {};
    }
    QSettings settings(QSettings::NativeFormat, QSettings::SystemScope, organisation, application);
    // Only the key itself counts, not the organisation-wide file Qt falls back to.
    settings.setFallbacksEnabled(false);
    return settings.childGroups();
}

}  // namespace kelvo::platform::registry
