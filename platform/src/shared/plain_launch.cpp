#include "plain_launch.h"

#include <QProcess>

namespace kelvo::platform::process {

bool runAndWait(const QString& program, const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.start(program, arguments, QIODevice::ReadWrite);
    return process.waitForFinished(timeoutMs);
}

}  // namespace kelvo::platform::process
