// Shows the configuration dialog, filled from a sample settings file in a temporary program
// folder, until it is closed; scripts/screenshots.sh photographs it under Xvfb.
#include <QApplication>
#include <QTemporaryDir>

#include "app/FrmConfiguracion.h"
#include "app/ProductionPhases.h"
#include "app/RunControl.h"
#include "config/Settings.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir folder;
    lumaro::config::setProgramFolder(folder.path());
    const std::pair<const char*, const char*> sample[] = {
        {"Hora1", "2"},
        {"Minuto1", "0"},
        {"Hora2", "14"},
        {"Minuto2", "30"},
        {"AutoSync", "1"},
        {"RtDbf", "/srv/lumaro/out"},
        {"BD_Prod_local", "/srv/lumaro/Seguridad.mdb"}};
    for (const auto& [key, value] : sample)
        lumaro::config::GrabarConfig(QString::fromLatin1(key), QString::fromLatin1(value));
    lumaro::app::ProductionPhases phases;
    lumaro::app::RunControl control(phases);
    lumaro::app::FrmConfiguracion dialog(control);
    dialog.show();
    return app.exec();
}
