#pragma once

#include <QObject>

namespace kelvo::host::app {

// Without a display the module's dialogs (the driver-installation prompt) are invisible;
// this answers them on the terminal instead, or with a fixed answer for scripts.
class DialogBridge : public QObject {
public:
    enum class Answer { Ask, Yes, No };

    explicit DialogBridge(Answer answer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Answer answer_;
};

}  // namespace kelvo::host::app
