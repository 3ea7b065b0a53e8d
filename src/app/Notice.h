#pragma once
// The self-closing notice: a modal information box with one OK button that closes itself
// after its timeout unless closed first. Each notice owns its timer, which closes exactly
// that box and nothing else.

#include <QString>

class QWidget;

namespace lumaro::app {

class Notice {
public:
    // Shows the notice and returns when it is gone (closed by hand or by its timer).
    static void show(QWidget* parent, const QString& prompt, const QString& title, int timeoutMs);
};

}  // namespace lumaro::app
