#include <cstdlib>
#include <iostream>
#include <thread>

#include <QApplication>
#include <boost/log/trivial.hpp>
#include <boost/program_options/errors.hpp>

#include "dialog_bridge.h"
#include "host_app.h"
#include "script_pin.h"

namespace {

// Widgets need a platform; without a display the offscreen one keeps the host headless.
bool chooseHeadlessPlatform() {
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") ||
        std::getenv("QT_QPA_PLATFORM")) {
        return false;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}

// Qt's own diagnostics join the module's log lines.
void logQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    const std::string line = "qt: " + text.toStdString();
    if (type == QtDebugMsg || type == QtInfoMsg) {
        BOOST_LOG_TRIVIAL(debug) << line;
    } else {
        BOOST_LOG_TRIVIAL(warning) << line;
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace kelvo::host::app;
    // First of all, while the process has one thread and no child: nothing may inherit it.
    boost::optional<SecretString> environmentPin;
    try {
        environmentPin = takePinFromEnvironment(kPinVariable);
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << '\n';
        return 1;
    }
    HostOptions options;
    try {
        options = parseHostOptions(argc, argv);
    } catch (const boost::program_options::error& e) {
        std::cerr << "error: " << e.what() << " (see zolvex-host --help)\n";
        return 2;
    }
    if (options.help) {
        std::cout << usage();
        return 0;
    }
    configureLogging(options.logLevel);
    qInstallMessageHandler(logQtMessage);
    chooseHeadlessPlatform();
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    application.setApplicationName("zolvex-host");
    std::unique_ptr<DialogBridge> bridge;
    if (QApplication::platformName() == "offscreen") {
        bridge = std::make_unique<DialogBridge>(options.drivers);
    }

    // Module calls run on a worker: the module shows its dialogs on this, the GUI, thread.
    int status = 0;
    std::thread worker([&options, &environmentPin, &status] {
        status = runHost(options, std::move(environmentPin), std::cout, std::cerr);
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    QApplication::exec();
    worker.join();
    return status;
}
