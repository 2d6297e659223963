#include "platform/process.h"

#include "elevation.h"
#include "plain_launch.h"

namespace kelvo::platform::process {

bool isAdministrator() {
    return elevation::isAdministrator();
}

bool runElevated(const QString& script) {
    return elevation::runElevated(script.toStdWString());
}

bool run(const QString& script, int timeoutMs) {
    return runAndWait(script, {}, timeoutMs);
}

}  // namespace kelvo::platform::process
