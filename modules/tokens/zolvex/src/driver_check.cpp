#include "driver_check.h"

#include <QFile>
#include <QString>
#include <boost/filesystem/operations.hpp>

#include "platform/registry.h"
#include "shared/path_registry.h"

namespace kelvo::plugin::module::drivers {

namespace {

const QString& registryKey() {
    static const QString key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\VOXA CORP\\PKCS11\\";
    return key;
}

const boost::filesystem::path& markerPath() {
    static const boost::filesystem::path path = shared::path_registry::zolvexRejectMarker();
    return path;
}

}  // namespace

bool registered() {
    using platform::registry::View;
    return !platform::registry::childGroups(registryKey(), View::Native64).isEmpty() ||
           !platform::registry::childGroups(registryKey(), View::Native32).isEmpty();
}

bool refused() {
    boost::system::error_code error;
    const auto status = boost::filesystem::status(markerPath(), error);
    return !error && boost::filesystem::exists(status);
}

void rememberRefusal() {
    QFile marker(QString::fromStdString(markerPath().string()));
    marker.open(QIODevice::WriteOnly);
}

}  // namespace kelvo::plugin::module::drivers
