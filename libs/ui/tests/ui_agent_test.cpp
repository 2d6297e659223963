#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "ui/ui_agent.h"

using Agent = kelvo::plugin::ui::qt::UiAgent<QMessageBox, QString>;

namespace {

struct DialogCode : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Agent::Script yesNoScript(std::function<QString()> onYes) {
    Agent::Script script;
    script.create = [](const QString& argument) {
        auto box = std::make_unique<QMessageBox>();
        box->setText(argument);
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box;
    };
    script.accepted = [](int answer) { return answer == QMessageBox::Yes; };
    script.onAccepted = std::move(onYes);
    script.failed = "0";
    return script;
}

class UiAgentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "ui_agent_test";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        // Closing the box must not end the loop the worker's answer travels through.
        application_->setQuitOnLastWindowClosed(false);
    }
    static void TearDownTestSuite() { application_.reset(); }

    // Runs the request on a worker while the GUI thread answers with the given button.
    template <class Request>
    void runAnswering(QMessageBox::StandardButton answer, Request request) {
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            request();
            finished = true;
        });
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->button(answer)->click();
            }
            if (finished) {
                QApplication::quit();
            }
        });
        clicker.start(10);
        QApplication::exec();
        worker.join();
    }

    static std::unique_ptr<QApplication> application_;
};

std::unique_ptr<QApplication> UiAgentTest::application_;

}  // namespace

TEST_F(UiAgentTest, NoGivesAnEmptyResultWithoutRunningTheAction) {
    bool acted = false;
    QString result = "unset";
    runAnswering(QMessageBox::No, [&] {
        result = Agent::request("question", yesNoScript([&] {
                                    acted = true;
                                    return QString("1");
                                }));
    });
    EXPECT_TRUE(result.isEmpty());
    EXPECT_FALSE(acted);
}

TEST_F(UiAgentTest, YesReturnsTheActionResult) {
    QString result;
    runAnswering(QMessageBox::Yes,
                 [&] { result = Agent::request("question", yesNoScript([] { return "1"; })); });
    EXPECT_EQ(result, "1");
}

TEST_F(UiAgentTest, ActionFailureIsRethrownOnTheRequestingThread) {
    std::string caught;
    runAnswering(QMessageBox::Yes, [&] {
        try {
            Agent::request("question",
                           yesNoScript([]() -> QString { throw DialogCode("installer failed"); }));
        } catch (const DialogCode& e) {
            caught = e.what();
        }
    });
    EXPECT_EQ(caught, "installer failed");
}

TEST_F(UiAgentTest, FailureBeforeTheDialogShowsNeverBlocksTheRequester) {
    std::string caught;
    runAnswering(QMessageBox::No, [&] {
        auto script = yesNoScript([] { return QString("1"); });
        script.create = [](const QString&) -> std::unique_ptr<QMessageBox> {
            throw DialogCode("no icon");
        };
        try {
            Agent::request("question", script);
        } catch (const DialogCode& e) {
            caught = e.what();
        }
    });
    EXPECT_EQ(caught, "no icon");
}

TEST_F(UiAgentTest, OtherEventsAreIgnored) {
    Agent agent("question", yesNoScript([] { return QString("1"); }));
    QEvent other(QEvent::Type(QEvent::User + 1));
    EXPECT_FALSE(agent.event(&other));
}

TEST_F(UiAgentTest, OnTheGuiThreadTheDialogRunsDirectly) {
    QTimer::singleShot(20, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->button(QMessageBox::Yes)->click();
        }
    });
    EXPECT_EQ(Agent::request("question", yesNoScript([] { return QString("1"); })), "1");
}
