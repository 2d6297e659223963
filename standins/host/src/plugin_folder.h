#pragma once

#include <QString>

namespace kelvo::host::app {

// Where the host looks for plug-ins when no --modules folder is given: the folder the build
// puts them in, relative to the host program's own folder.
QString defaultPluginFolder();

}  // namespace kelvo::host::app
