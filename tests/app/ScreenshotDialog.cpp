// Shows the configuration dialog, filled from a sample settings file in a temporary program
// folder, until it is closed; scripts/screenshots.sh photographs it under Xvfb.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "app/FrmConfiguracion.h"
#include "app/ProductionPhases.h"
#include "app/RunControl.h"
#include "config/Settings.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir folder;
    lumaro::config::setProgramFolder(folder.path());
    QFile settings(lumaro::config::settingsPath());
    if (settings.open(QIODevice::WriteOnly))
        settings.write(
            "[Inicio]\r\nHora1=2\r\nMinuto1=0\r\nHora2=14\r\nMinuto2=30\r\n"
            "AutoSync=1\r\nRtDbf=/srv/lumaro/out\r\n"
            "BD_Prod_local=/srv/lumaro/Seguridad.mdb\r\n");
    settings.close();
    lumaro::app::ProductionPhases phases;
    lumaro::app::RunControl control(phases);
    lumaro::app::FrmConfiguracion dialog(control);
    dialog.show();
    return app.exec();
}
