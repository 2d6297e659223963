#include "platform/qt_path.h"

namespace kelvo::platform {

QString qtPath(const boost::filesystem::path& path) {
    return QString::fromStdWString(path.wstring());
}

}  // namespace kelvo::platform
