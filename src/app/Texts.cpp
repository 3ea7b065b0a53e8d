#include "app/Texts.h"

#include "config/Clock.h"

namespace lumaro::app::texts {

QString marcaDeTiempo() {
    const QDateTime now = config::Clock::now();
    return now.date().toString(QStringLiteral("dd/MM/yyyy")) + QLatin1Char(' ') +
           now.time().toString(QStringLiteral("hh:mm:ss AP"));
}

}  // namespace lumaro::app::texts
