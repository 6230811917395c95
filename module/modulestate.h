#pragma once

#include "vnd02500_global.h"

#include <QPointer>
#include <QString>

class TfrmEstaticVendHora;

// Module state shared by every instance of the screen, living from package load to unload.
// Exported under these plain names.
extern "C" {
VND_EXPORT extern QPointer<TfrmEstaticVendHora> frmEstaticVendHora;
VND_EXPORT extern bool boIdCriado;
VND_EXPORT extern QString stFilial;
VND_EXPORT extern QString stLoja;
VND_EXPORT extern QString stCaixa;
VND_EXPORT extern QString HoraIni;
VND_EXPORT extern QString MinIni;
VND_EXPORT extern QString HoraFin;
VND_EXPORT extern QString MinFin;

// Opens the screen (the host's menu and --open call it).
VND_EXPORT void IniProc();
VND_EXPORT void CriaRelEstatVendHora();
}

namespace Cli_Vnd02500 {
// Unit start and stop, each guarded by the unit's counter so that it runs once however often the
// package loader asks.
void Initialization();
void Finalization();

// Armed by FormCreate; the next FormActivate copies the host's branch and clears it.
bool &firstActivation();
} // namespace Cli_Vnd02500
