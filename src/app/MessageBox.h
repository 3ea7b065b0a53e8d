#pragma once
// Modal message boxes of the window and the dialog, with a seam for tests: while a recorder
// is installed, boxes are handed to it instead of being shown.

#include <QMessageBox>
#include <functional>

namespace lumaro::app {

class MessageBox {
public:
    using Recorder =
        std::function<void(QMessageBox::Icon, const QString& caption, const QString& text)>;

    // Shows a modal box with one OK button; returns when it is closed. An empty caption is
    // the application title.
    static void show(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                     const QString& text);
    // Installs a recorder; an empty one shows boxes again.
    static void setRecorder(Recorder recorder);
};

}  // namespace lumaro::app
