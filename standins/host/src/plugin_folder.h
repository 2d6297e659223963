#pragma once

#include <QString>

namespace kelvo::host::app {

// Where the host looks for plug-ins when no --modules folder is given, relative to the host
// program's own folder: the installed plug-in folder when it holds a plug-in, else the folder
// the build puts them in, else the installed one (to be named in the errors).
QString defaultPluginFolder();

}  // namespace kelvo::host::app
