#include "platform/process.h"

#include <unistd.h>

#include <QProcess>

namespace kelvo::platform::process {

namespace {

bool runAndWait(const QString& program, const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.start(program, arguments, QIODevice::ReadWrite);
    return process.waitForFinished(timeoutMs);
}

}  // namespace

bool isAdministrator() {
    return ::geteuid() == 0;
}

bool runElevated(const QString& script) {
    return runAndWait("pkexec", {script}, -1);
}

bool run(const QString& script, int timeoutMs) {
    return runAndWait(script, {}, timeoutMs);
}

}  // namespace kelvo::platform::process
