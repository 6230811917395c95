#pragma once

#include "tfrmdadosgerrel.h"

class TNetConnection;

// " Vendas por Dia/Hora": the sales-by-day/hour report filter screen.
class TfrmEstaticVendHora : public TfrmDadosGerRel
{
    Q_OBJECT
public:
    explicit TfrmEstaticVendHora(QWidget *parent = nullptr);
    ~TfrmEstaticVendHora() override;

    void FormCreate(QObject *sender) override;
    void FormClose(QObject *sender, TCloseAction &action) override;

    TNetConnection *netEstaticVendHora = nullptr;
};
