#include "tfrmestaticvendhora.h"

#include "modulestate.h"
#include "netconnection.h"

TfrmEstaticVendHora::TfrmEstaticVendHora(QWidget *parent) : TfrmDadosGerRel(QStringLiteral("Vnd025"), parent)
{
    setObjectName(QStringLiteral("frmEstaticVendHora"));
    setWindowTitle(QStringLiteral(" Vendas por Dia/Hora"));
    netEstaticVendHora = new TNetConnection(this);
    netEstaticVendHora->setObjectName(QStringLiteral("netEstaticVendHora"));
    netEstaticVendHora->ServerName = QStringLiteral("Vnd02500.rdmEstaticVendHora");
    setFixedSize(402, 356);
}

TfrmEstaticVendHora::~TfrmEstaticVendHora() = default;

void TfrmEstaticVendHora::FormCreate(QObject *sender)
{
    TfrmDadosGerRel::FormCreate(sender);
}

void TfrmEstaticVendHora::FormClose(QObject *sender, TCloseAction &action)
{
    TfrmDadosGerRel::FormClose(sender, action);
    boIdCriado = false;
    while (netEstaticVendHora->Connected())
        netEstaticVendHora->SetConnected(false);
}
