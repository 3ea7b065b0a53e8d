#include "app/FrmConfiguracion.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>

#include "app/MessageBox.h"
#include "app/RunControl.h"
#include "app/Texts.h"
#include "app/UpDown.h"
#include "config/Settings.h"

namespace lumaro::app {

using config::GrabarConfig;
using config::LeerConfig;

const QString FrmConfiguracion::kFiltro =
    QStringLiteral("Base de Datos Ms Access (*.mdb);;Todos los Archivos(*.*)");

namespace {

FrmConfiguracion::FileChooser& fileChooser() {
    static FrmConfiguracion::FileChooser chooser;
    return chooser;
}

QLineEdit* campo(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

// A time field with its spinner beside it.
QWidget* conSpinner(QLineEdit* field, int maximum) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    field->setMaximumWidth(60);
    layout->addWidget(field);
    auto* spinner = new UpDown(field, 0, maximum);
    spinner->setObjectName(QStringLiteral("upd") + field->objectName().mid(3));
    layout->addWidget(spinner);
    layout->addStretch();
    return box;
}

QPushButton* examinar(const char* name, QWidget* parent) {
    auto* b =
        new QPushButton(parent->style()->standardIcon(QStyle::SP_DirOpenIcon), QString(), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

}  // namespace

FrmConfiguracion::FrmConfiguracion(RunControl& control, QWidget* parent)
    : QDialog(parent), m_control(control) {
    setObjectName(QStringLiteral("frmConfiguracion"));
    setWindowTitle(QStringLiteral("Configuración"));

    auto* tiempos = new QGroupBox(QStringLiteral("Establecer Tiempos de Sincronizacion:"));
    m_chkSyncAuto = new QCheckBox(QStringLiteral("Sincronizacion Automatica"));
    m_chkSyncAuto->setObjectName(QStringLiteral("chkSyncAuto"));
    m_txtH1 = campo("txtH1", this);
    m_txtM1 = campo("txtM1", this);
    m_txtH2 = campo("txtH2", this);
    m_txtM2 = campo("txtM2", this);
    auto* gt = new QGridLayout(tiempos);
    gt->addWidget(m_chkSyncAuto, 0, 0, 1, 3);
    gt->addWidget(new QLabel(QStringLiteral("Hora (0 - 23)")), 1, 1);
    gt->addWidget(new QLabel(QStringLiteral("Minuto (0 - 59)")), 1, 2);
    gt->addWidget(new QLabel(QStringLiteral("Sincronizacion Nro 1:")), 2, 0);
    gt->addWidget(conSpinner(m_txtH1, 23), 2, 1);
    gt->addWidget(conSpinner(m_txtM1, 59), 2, 2);
    gt->addWidget(new QLabel(QStringLiteral("Sincronizacion Nro 2:")), 3, 0);
    gt->addWidget(conSpinner(m_txtH2, 23), 3, 1);
    gt->addWidget(conSpinner(m_txtM2, 59), 3, 2);

    auto* archivos = new QGroupBox(QStringLiteral("Establecer Archivos:"));
    const QString tip =
        QStringLiteral("Ruta donde se encuentra archivo MDB para Sincronizar con otros locales");
    m_txtRutaLumaro = campo("txtRutaLumaro", this);
    m_txtRutaLumaro->setToolTip(tip);
    m_txtRutaDestino = campo("txtRutaDestino", this);
    m_txtRutaDestino->setToolTip(tip);
    auto* cmdMDBLumaro = examinar("cmdMDBLumaro", this);
    auto* cmdBuscarMDB = examinar("cmdBuscarMDB", this);
    auto* ga = new QGridLayout(archivos);
    ga->addWidget(new QLabel(QStringLiteral("Nombre de Base de Datos de Seguridad:")), 0, 0, 1, 2);
    ga->addWidget(m_txtRutaLumaro, 1, 0);
    ga->addWidget(cmdMDBLumaro, 1, 1);
    ga->addWidget(new QLabel(QStringLiteral("Ruta Local para Sincronizacion entre Locales:")), 2, 0,
                  1, 2);
    ga->addWidget(m_txtRutaDestino, 3, 0);
    ga->addWidget(cmdBuscarMDB, 3, 1);

    auto* cmdAceptar = new QPushButton(QStringLiteral("Aceptar"));
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdAceptar->setDefault(true);
    auto* cmdCancelar = new QPushButton(QStringLiteral("Cancelar"));
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(cmdAceptar);
    botones->addWidget(cmdCancelar);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tiempos);
    layout->addWidget(archivos);
    layout->addLayout(botones);
    setMinimumWidth(460);

    connect(m_chkSyncAuto, &QCheckBox::toggled, this, &FrmConfiguracion::pintarSyncAuto);
    connect(cmdAceptar, &QPushButton::clicked, this, &FrmConfiguracion::cmdAceptar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdBuscarMDB, &QPushButton::clicked, this, &FrmConfiguracion::cmdBuscarMDB_Click);
    connect(cmdMDBLumaro, &QPushButton::clicked, this, &FrmConfiguracion::cmdMDBLumaro_Click);
    cargar();
}

void FrmConfiguracion::cargar() {
    m_txtRutaDestino->setText(LeerConfig(QStringLiteral("RtDbf")));
    m_txtRutaLumaro->setText(LeerConfig(QStringLiteral("BD_Prod_local")));
    const std::pair<QLineEdit*, const char*> tiempos[] = {
        {m_txtH1, "Hora1"}, {m_txtM1, "Minuto1"}, {m_txtH2, "Hora2"}, {m_txtM2, "Minuto2"}};
    for (const auto& [field, key] : tiempos) {
        const QString value = LeerConfig(QString::fromLatin1(key));
        field->setText(value.isEmpty() ? QStringLiteral("0") : value);
    }
    m_chkSyncAuto->setChecked(LeerConfig(QStringLiteral("AutoSync")) == QStringLiteral("1"));
    pintarSyncAuto();
}

void FrmConfiguracion::pintarSyncAuto() {
    QPalette p = m_chkSyncAuto->palette();
    const QColor color = m_chkSyncAuto->isChecked() ? QColor(0, 255, 0) : QColor(0, 0, 0);
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::ButtonText, color);
    m_chkSyncAuto->setPalette(p);
}

bool FrmConfiguracion::validarCampo(QLineEdit* field, int maximum, const QString& message) {
    // One or two digits: "1.5" or "1e1" would pass a looser test and then fail every tick.
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,2}$"));
    const QString text = field->text().trimmed();
    if (digits.match(text).hasMatch() && text.toInt() <= maximum) return true;
    MessageBox::show(this, QMessageBox::NoIcon, QString(), message);
    field->setFocus();
    return false;
}

bool FrmConfiguracion::validarData() {
    for (QLineEdit* field : {m_txtH1, m_txtM1, m_txtH2, m_txtM2}) {
        if (field->text().isEmpty()) {
            MessageBox::show(
                this, QMessageBox::NoIcon, QString(),
                QStringLiteral("Datos Incorrectos, Debe ingresar Horario de Sincronización"));
            return false;
        }
    }
    const QString hora = QStringLiteral("Datos Incorrectos - Hora");
    const QString minutos = QStringLiteral("Datos Incorrectos - Minutos");
    return validarCampo(m_txtH1, 23, hora) && validarCampo(m_txtH2, 23, hora) &&
           validarCampo(m_txtM1, 59, minutos) && validarCampo(m_txtM2, 59, minutos);
}

void FrmConfiguracion::cmdAceptar_Click() {
    if (!validarData()) return;
    GrabarConfig(QStringLiteral("RtDbf"), m_txtRutaDestino->text());
    GrabarConfig(QStringLiteral("BD_Prod_local"), m_txtRutaLumaro->text());
    GrabarConfig(QStringLiteral("Hora1"), m_txtH1->text());
    GrabarConfig(QStringLiteral("Minuto1"), m_txtM1->text());
    GrabarConfig(QStringLiteral("Hora2"), m_txtH2->text());
    GrabarConfig(QStringLiteral("Minuto2"), m_txtM2->text());
    const bool automatico = m_chkSyncAuto->isChecked();
    GrabarConfig(QStringLiteral("AutoSync"),
                 automatico ? QStringLiteral("1") : QStringLiteral("0"));
    m_control.setTimerEnabled(automatico);
    config::EscribirLog(QStringLiteral("El estado automatico del programa es : < ") +
                        (automatico ? texts::kActivado : texts::kDesactivado) +
                        QStringLiteral(" >."));
    accept();
}

QString FrmConfiguracion::elegirArchivo(const QString& title, bool existente) {
    QFileDialog dialog(this, title, config::programFolder(), kFiltro);
    dialog.setObjectName(QStringLiteral("dlgArchivo"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDefaultSuffix(QStringLiteral("MDB"));
    dialog.setFileMode(existente ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (fileChooser()) return QDir::toNativeSeparators(fileChooser()(dialog));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

void FrmConfiguracion::setFileChooserForTesting(FileChooser chooser) {
    fileChooser() = std::move(chooser);
}

void FrmConfiguracion::cmdBuscarMDB_Click() {
    const QString path =
        elegirArchivo(QStringLiteral("Seleccionar Ruta Local para Sincronización"), false);
    // "RtDbf" names a folder: keep the folder of the file chosen.
    if (!path.isEmpty())
        m_txtRutaDestino->setText(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
}

void FrmConfiguracion::cmdMDBLumaro_Click() {
    const QString path =
        elegirArchivo(QStringLiteral("Establecer Base de Datos [Seguridad.mdb]"), true);
    if (path.isEmpty()) return;
    m_txtRutaLumaro->setText(path);
    m_txtRutaDestino->setText(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
}

}  // namespace lumaro::app
