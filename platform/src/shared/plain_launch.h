#pragma once

#include <QString>
#include <QStringList>

namespace kelvo::platform::process {

// Starts the program with the arguments, no elevation, and waits up to timeoutMs (-1: without
// limit). True when it finished within the wait.
bool runAndWait(const QString& program, const QStringList& arguments, int timeoutMs);

}  // namespace kelvo::platform::process
