#pragma once

#include <QString>

namespace kelvo::platform::process {

// Whether the current user may install drivers without elevation (administrators group
// membership on Windows, effective user id 0 on POSIX).
bool isAdministrator();

// Runs a script with elevated rights and waits for it without limit (ShellExecuteExW "runas"
// on Windows, pkexec on POSIX). True when it was started and has finished.
bool runElevated(const QString& script);

// Runs a script as it is and waits up to timeoutMs. True when it finished within the wait.
bool run(const QString& script, int timeoutMs);

}  // namespace kelvo::platform::process
