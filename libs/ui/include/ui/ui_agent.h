#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QThread>

namespace kelvo::plugin::ui::qt {

// What one dialog request does on the GUI thread: build the dialog, tell whether its answer
// was "yes", and act on a "yes" (the action's result becomes the request's result).
template <class Dialog, class Result>
struct DialogScript {
    std::function<std::unique_ptr<Dialog>(const QString& argument)> create;
    std::function<bool(int answer)> accepted;
    std::function<Result()> onAccepted;
    // The result when acting on "yes" fails.
    Result failed{};
};

// Runs one modal dialog on the GUI thread for a worker thread and hands back the answer or
// the exception the dialog code raised. One agent serves one request.
template <class Dialog, class Result>
class UiAgent : public QObject {
public:
    static constexpr QEvent::Type kRequestEvent = QEvent::User;
    using Script = DialogScript<Dialog, Result>;

    // Asks on the GUI thread and waits for the answer. Called on the GUI thread itself, the
    // dialog runs right here, since a posted request could never be delivered.
    static Result request(const QString& argument, Script script) {
        QCoreApplication* application = QCoreApplication::instance();
        if (!application) {
            throw std::logic_error("ui: no application object to show a dialog");
        }
        UiAgent agent(argument, std::move(script));
        if (QThread::currentThread() == application->thread()) {
            QEvent request(kRequestEvent);
            agent.event(&request);
        } else {
            agent.moveToThread(application->thread());
            QCoreApplication::postEvent(&agent, new QEvent(kRequestEvent));
        }
        agent.done_.acquire();
        if (agent.error_) {
            std::rethrow_exception(agent.error_);
        }
        return agent.result_;
    }

    UiAgent(QString argument, Script script)
        : argument_(std::move(argument)), script_(std::move(script)) {}

    // Nobody may stay blocked on an agent that goes away.
    ~UiAgent() override { done_.release(); }

    bool event(QEvent* event) override {
        if (event->type() != kRequestEvent) {
            return false;
        }
        bool yes = false;
        try {
            std::unique_ptr<Dialog> dialog = script_.create(argument_);
            yes = script_.accepted(dialog->exec());
            if (yes) {
                actOnYes();
            }
        } catch (...) {
            error_ = std::current_exception();
            done_.release();
            return false;
        }
        done_.release();
        return yes;
    }

private:
    void actOnYes() {
        try {
            result_ = script_.onAccepted();
        } catch (...) {
            result_ = script_.failed;
            error_ = std::current_exception();
        }
    }

    QString argument_;
    std::exception_ptr error_;
    QSemaphore done_{0};
    Result result_{};
    Script script_;
};

}  // namespace kelvo::plugin::ui::qt
