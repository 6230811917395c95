#include "modulestate.h"

#include "application.h"
#include "cli_vnd02500.h"
#include "package.h"
#include "vendhoraexportdriver.h"

#include <QJsonValue>

QPointer<TfrmEstaticVendHora> frmEstaticVendHora;
bool boIdCriado = false;
QString stFilial;
QString stLoja;
QString stCaixa;
QString HoraIni;
QString MinIni;
QString HoraFin;
QString MinFin;

namespace {
int gUnitCounter = 0;
bool gFirstActivation = false;

struct Published
{
    const char *name;
    const QString *value;
};
const Published kStrings[] = {{"stFilial", &stFilial}, {"stLoja", &stLoja},   {"stCaixa", &stCaixa},
                              {"HoraIni", &HoraIni},   {"MinIni", &MinIni},   {"HoraFin", &HoraFin},
                              {"MinFin", &MinFin}};
} // namespace

namespace Cli_Vnd02500 {
bool &firstActivation()
{
    return gFirstActivation;
}

void Initialization()
{
    if (gUnitCounter++ != 0)
        return;
    boIdCriado = false;
    for (const Published &p : kStrings) {
        const QString *value = p.value;
        HostRuntime::registerVariable(QString::fromLatin1(p.name), [value] { return QVariant(*value); });
    }
    HostRuntime::registerVariable(QStringLiteral("boIdCriado"), [] { return QVariant(boIdCriado); });
    VendHoraExportDriver::registerDriver();
}

void Finalization()
{
    if (gUnitCounter == 0 || --gUnitCounter != 0)
        return;
    for (const Published &p : kStrings)
        HostRuntime::unregisterVariable(QString::fromLatin1(p.name));
    HostRuntime::unregisterVariable(QStringLiteral("boIdCriado"));
    VendHoraExportDriver::unregisterDriver();
    // Released in the unit's fixed order.
    stFilial.clear();
    MinFin.clear();
    HoraFin.clear();
    MinIni.clear();
    HoraIni.clear();
    stLoja.clear();
    stCaixa.clear();
}
} // namespace Cli_Vnd02500

namespace {
// Puts the cursor back however creation ends: a failed creation must not leave the hourglass.
struct CursorRestorer
{
    ~CursorRestorer() { TScreen::SetCursor(TScreen::crDefault); }
};
} // namespace

void CriaRelEstatVendHora()
{
    TScreen::SetCursor(TScreen::crHourGlass);
    CursorRestorer restore;
    // The flag says an instance is open; the pointer says it still exists. A screen destroyed
    // without its close (deleted by its owner) leaves the flag set and the pointer null.
    if (!boIdCriado || frmEstaticVendHora.isNull()) {
        Application()->CreateForm(frmEstaticVendHora);
        boIdCriado = true;
    }
    frmEstaticVendHora->Show();
}

void IniProc()
{
    CriaRelEstatVendHora();
}
