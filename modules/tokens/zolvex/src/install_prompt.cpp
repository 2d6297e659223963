#include "install_prompt.h"

#include <memory>

#include <QAbstractButton>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QVariant>

#include "platform/process.h"
#include "platform/qt_path.h"
#include "shared/path_registry.h"
#include "ui/gui_registry.h"
#include "ui/ui_agent.h"

namespace kelvo::plugin::module::drivers {

namespace {

using PromptAgent = ui::qt::UiAgent<QMessageBox, QString>;

const QString& installerScript() {
    static const QString path = platform::qtPath(shared::path_registry::zolvexInstallerScript());
    return path;
}

bool elevationNeeded() {
    static const bool needed = !platform::process::isAdministrator();
    return needed;
}

QPixmap logo() {
    static const std::wstring name = L"logo_32x32.png";
    const std::wstring path = ui::GuiRegistry::instance().resourcePath(name.data(), name.size());
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    pixmap.load(QString::fromStdWString(path));
    return pixmap;
}

std::unique_ptr<QMessageBox> createPrompt(const QString&) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(QStringLiteral("Внимание"));
    box->setTextFormat(Qt::RichText);
    box->setText(
        QStringLiteral("Отсутствуют драйверы ZOLVEX.<br>Произвести установку драйверов?"
                       "<br>[ требуются права администратора ]"));
    box->setIcon(QMessageBox::NoIcon);
    box->setWindowIcon(QIcon(logo()));
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box->button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    box->setDefaultButton(QMessageBox::Yes);
    box->setProperty("qss", QStringLiteral("dialog"));
    return box;
}

QString runInstaller() {
    constexpr int kPlainLaunchWaitMs = 30000;
    const bool launched = elevationNeeded()
                              ? platform::process::runElevated(installerScript())
                              : platform::process::run(installerScript(), kPlainLaunchWaitMs);
    return launched ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

bool askToInstall() {
    PromptAgent::Script script;
    script.create = createPrompt;
    script.accepted = [](int answer) { return answer == QMessageBox::Yes; };
    script.onAccepted = runInstaller;
    script.failed = QStringLiteral("0");
    return !PromptAgent::request(QString(), std::move(script)).isEmpty();
}

}  // namespace kelvo::plugin::module::drivers
