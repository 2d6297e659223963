#include "driver_check.h"

#include <QFile>
#include <QString>
#include <boost/filesystem/operations.hpp>

#include "platform/qt_path.h"
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
    // The user's own folder for it may not exist yet; any failure leaves the prompt to come
    // back.
    boost::system::error_code error;
    boost::filesystem::create_directories(markerPath().parent_path(), error);
    QFile marker(platform::qtPath(markerPath()));
    marker.open(QIODevice::WriteOnly);
}

}  // namespace kelvo::plugin::module::drivers
