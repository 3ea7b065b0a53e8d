#include "app/MessageBox.h"

#include "app/Texts.h"

namespace lumaro::app {

namespace {

MessageBox::Recorder& recorder() {
    static MessageBox::Recorder r;
    return r;
}

}  // namespace

void MessageBox::show(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                      const QString& text) {
    const QString title = caption.isEmpty() ? texts::kTituloAplicacion : caption;
    if (recorder()) {
        recorder()(icon, title, text);
        return;
    }
    QMessageBox box(icon, title,
                    QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, parent);
    box.exec();
}

void MessageBox::setRecorder(Recorder r) { recorder() = std::move(r); }

}  // namespace lumaro::app
