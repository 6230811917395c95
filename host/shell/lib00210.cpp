#include "lib00210.h"

#include "corvel.h"
#include "dataset.h"
#include "errors.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {
QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

// The code as a SQL literal. The caller has checked its characters already; the quotes are doubled
// all the same, so the literal stays closed whatever the check lets through in the future.
QString literal(const QString &code)
{
    QString quoted = code;
    quoted.replace(QChar(u'\''), u"''"_s);
    return u'\'' + quoted + u'\'';
}

void prepareFields(TClientDataSet *cds)
{
    if (!cds)
        return;
    // Keep a mask the screen has set already; otherwise take the host's product-tree mask.
    QString mask;
    if (const TFieldDef *existing = cds->findFieldDef(u"CDARVPROD"_s))
        mask = existing->editMask;
    if (mask.isEmpty())
        mask = Corvel::DBPict(0);
    cds->clear();
    cds->FieldDefs() = {
        {u"CDPRODUTO"_s, u"Código"_s, 10, false, u"PRODUTO.CDPRODUTO"_s, {}},
        {u"CDARVPROD"_s, u"Código"_s, 20, true, {}, mask},
        {u"NMPRODUTO"_s, u"Nome"_s, 50, true, u"PRODUTO.NMPRODUTO"_s, {}},
    };
}
} // namespace

bool isSearchableBranchCode(const QString &code)
{
    if (code.isEmpty() || code.size() > 4)
        return false;
    for (const QChar c : code) {
        const bool ok = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || c == u'\u00C7';
        if (!ok)
            return false;
    }
    return true;
}

QString SQL_Pesquisa_Produto_CDS(const QString &branchCode, TClientDataSet *cds)
{
    const QString code = trimBlanks(branchCode);
    if (!code.isEmpty() && !isSearchableBranchCode(code))
        throw EHostError(u"Código de filial inválido para a pesquisa de produtos: '%1'."_s.arg(branchCode));

    prepareFields(cds);

    QStringList lines{u"SELECT"_s, u"  P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO"_s, u"FROM"_s, u"  PRODUTO P"_s};
    if (!code.isEmpty()) {
        const QString branch = literal(code);
        // Sold at the branch, or everything when the branch has no sales items at all.
        lines << u"WHERE"_s
              << u"  (EXISTS (SELECT 1 FROM ITVENDA I WHERE (I.CDFILIAL = %1) AND (I.CDPRODUTO = P.CDPRODUTO))) OR"_s.arg(branch)
              << u"  (NOT EXISTS (SELECT 1 FROM ITVENDA I WHERE I.CDFILIAL = %1))"_s.arg(branch);
    }
    lines << u"ORDER BY"_s << u"  P.CDARVPROD"_s;
    return lines.join(u'\n');
}
