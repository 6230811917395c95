// Product range: start and end product-tree codes, their names, the search and the range check.
#include "tfrmestaticvendhora.h"

#include "consiste.h"
#include "lib00210.h"
#include "messages.h"

#include <QByteArray>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
// Codes compare as the stored texts do, byte by byte, not as numbers: "9" sorts after "10".
bool bytesGreater(const QString &a, const QString &b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    const qsizetype n = std::min(x.size(), y.size());
    for (qsizetype i = 0; i < n; ++i) {
        const auto cx = static_cast<unsigned char>(x.at(i));
        const auto cy = static_cast<unsigned char>(y.at(i));
        if (cx != cy)
            return cx > cy;
    }
    return x.size() > y.size();
}

// Looks the code up and shows its product's name; empty codes fail only when `required`.
void validateProduct(TfrmEstaticVendHora &f, TMaskEdit *code, TEdit *name, bool required, const QString &missingKey)
{
    if (!code->isEnabled())
        return;
    const QString text = code->Text();
    const bool empty = EmptyString(text);
    try {
        if (empty && required)
            MensErro(f.msgPadrao->Msg(missingKey), true);
        if (!empty) {
            f.qryProduto->Close();
            f.qryProduto->ParamByName(u"P_CDARVPROD"_s).SetAsString(text);
            f.qryProduto->ParamByName(u"P_TCDARVPROD"_s).SetAsString(QString());
            f.qryProduto->Open();
            if (f.qryProduto->IsEmpty())
                MensErro(f.msgPadrao->Msg(u"PRODNCAD"_s), true);
            name->setText(f.qryProduto->FieldByName(u"NMPRODUTO"_s).AsString());
        }
    } catch (...) {
        FocusControl(code);
        throw;
    }
}

void takePicked(TClientDataSet *picked, TMaskEdit *code, TEdit *name)
{
    // Code first: its change handling clears the name.
    code->SetText(picked->FieldByName(u"CDARVPROD"_s).AsString());
    name->setText(picked->FieldByName(u"NMPRODUTO"_s).AsString());
}
} // namespace

void TfrmEstaticVendHora::Vd_ProdIni(bool flag)
{
    validateProduct(*this, medDe, edtDe, flag, u"ProdIni_inf"_s);
}

void TfrmEstaticVendHora::Vd_ProdFin(bool flag)
{
    validateProduct(*this, medAte, edtAte, flag, u"ProdFinal_inf"_s);
}

void TfrmEstaticVendHora::Vd_ProdIniFim()
{
    // The end code is enabled and disabled with the start code.
    if (!medDe->isEnabled())
        return;
    const QString de = medDe->Text();
    const QString ate = medAte->Text();
    if (de.isEmpty() || ate.isEmpty() || !bytesGreater(de, ate))
        return;
    try {
        MensErro(msgPadrao->Msg(u"PROD_INI_MAIOR"_s), true);
    } catch (...) {
        FocusControl(medDe);
        throw;
    }
}

void TfrmEstaticVendHora::btpDeBeforePesq(QObject *, bool &)
{
    btpDe->setSQL(SQL_Pesquisa_Produto_CDS(edtFilial->text(), cdsPesqProduto));
}

void TfrmEstaticVendHora::btpAteBeforePesq(QObject *, bool &)
{
    btpAte->setSQL(SQL_Pesquisa_Produto_CDS(edtFilial->text(), cdsPesqProduto));
}

void TfrmEstaticVendHora::btpDeAfterPesq(QObject *)
{
    takePicked(cdsPesqProduto, medDe, edtDe);
}

void TfrmEstaticVendHora::btpAteAfterPesq(QObject *)
{
    takePicked(cdsPesqProduto, medAte, edtAte);
}
