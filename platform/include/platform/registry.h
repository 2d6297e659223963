#pragma once

#include <QString>
#include <QStringList>

namespace kelvo::platform::registry {

enum class View { Native64, Native32 };

// Sub-keys of a machine-wide registry key such as
// "HKEY_LOCAL_MACHINE\SOFTWARE\VOXA CORP\PKCS11\". On POSIX systems the key is Qt's native
// system-scope settings of that organisation and application (an INI file under the XDG
// configuration folders), the same file in both views, and its child groups are the sub-keys.
// The organisation-wide file ("<organisation>.conf") is not part of the key.
QStringList childGroups(const QString& key, View view);

}  // namespace kelvo::platform::registry
