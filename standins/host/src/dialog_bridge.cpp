#include "dialog_bridge.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTextDocumentFragment>
#include <QTimer>

namespace kelvo::host::app {

namespace {

bool askOnTerminal() {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> tty(std::fopen("/dev/tty", "r"), std::fclose);
    if (!tty) {
        std::cerr << "(no terminal: answered no)\n";
        return false;
    }
    const int answer = std::fgetc(tty.get());
    return answer == 'y' || answer == 'Y';
}

}  // namespace

DialogBridge::DialogBridge(Answer answer) : answer_(answer) {
    qApp->installEventFilter(this);
}

bool DialogBridge::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show) {
        return false;
    }
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (!box) {
        return false;
    }
    const QString text = QTextDocumentFragment::fromHtml(box->text()).toPlainText();
    std::cerr << box->windowTitle().toStdString() << ": " << text.toStdString() << " [y/N] "
              << std::flush;
    bool yes = answer_ == Answer::Yes;
    if (answer_ == Answer::Ask) {
        yes = askOnTerminal();
    } else {
        std::cerr << (yes ? "y" : "n") << '\n';
    }
    // Answered once the dialog's own event loop runs.
    QPointer<QMessageBox> target(box);
    QTimer::singleShot(0, box, [target, yes] {
        if (target) {
            target->done(yes ? QMessageBox::Yes : QMessageBox::No);
        }
    });
    return false;
}

}  // namespace kelvo::host::app
