#include "app/Notice.h"

#include <QMessageBox>
#include <QTimer>

namespace lumaro::app {

void Notice::show(QWidget* parent, const QString& prompt, const QString& title, int timeoutMs) {
    QMessageBox box(QMessageBox::Information, title, prompt, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("notice"));
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &box, &QMessageBox::reject);
    timer.start(timeoutMs);
    box.exec();
    timer.stop();
}

}  // namespace lumaro::app
