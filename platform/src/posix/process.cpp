#include "platform/process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>

namespace kelvo::platform::process {

namespace {

bool runAndWait(const QString& program, const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.start(program, arguments, QIODevice::ReadWrite);
    return process.waitForFinished(timeoutMs);
}

// The elevation helper from the system's own folders, never through PATH: a root-owned
// executable nobody else can replace.
QString elevationHelper() {
    for (const char* candidate : {"/usr/bin/pkexec", "/bin/pkexec", "/usr/sbin/pkexec"}) {
        struct stat status {};
        if (::stat(candidate, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == 0 &&
            (status.st_mode & (S_IWGRP | S_IWOTH)) == 0 && (status.st_mode & S_IXUSR) != 0) {
            return QString::fromUtf8(candidate);
        }
    }
    return {};
}

}  // namespace

bool isAdministrator() {
    return ::geteuid() == 0;
}

bool runElevated(const QString& script) {
    const QString helper = elevationHelper();
    return !helper.isEmpty() && runAndWait(helper, {script}, -1);
}

bool run(const QString& script, int timeoutMs) {
    return runAndWait(script, {}, timeoutMs);
}

}  // namespace kelvo::platform::process
