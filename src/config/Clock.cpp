#include "config/Clock.h"

#include <QFileInfo>

namespace lumaro::config {

namespace {

std::function<QDateTime()>& source() {
    static std::function<QDateTime()> s;
    return s;
}

QDateTime& fixedTime() {
    static QDateTime t;
    return t;
}

}  // namespace

QDateTime Clock::now() { return source() ? source()() : QDateTime::currentDateTime(); }

void Clock::setForTesting(std::function<QDateTime()> s) { source() = std::move(s); }

void Clock::setFixed(const QDateTime& at) {
    fixedTime() = at;
    source() = [] { return fixedTime(); };
}

void Clock::advance(qint64 seconds) { fixedTime() = fixedTime().addSecs(seconds); }

QString marcaTiempo() { return Clock::now().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss ap")); }

void fijarZonaHoraria() {
#ifdef Q_OS_LINUX
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
#endif
}

}  // namespace lumaro::config
