#include "lookupstatements.h"

using namespace Qt::StringLiterals;

// Statement texts stay exactly as the screen has always run them, blanks included: the dialect
// variants test the same condition, each in its own database's terms.
const QList<LookupStatement> &lookupStatements()
{
    static const QStringList lojaSql{u"SELECT"_s,
                              u"  CDFILIAL, CDLOJA, NMLOJA"_s,
                              u"FROM"_s,
                              u"  LOJA"_s,
                              u"WHERE"_s,
                              u"  ((INSTR(:P_CDFILIAL, CDFILIAL) <> 0) OR (:P_TCDFILIAL = 'T')) "_s};
    static const QStringList caixaSql{u" SELECT"_s,
                               u"  C.CDFILIAL, C.CDCAIXA,  L.CDLOJA, L.NMLOJA, C.NMCAIXA"_s,
                               u"FROM"_s,
                               u"  CAIXA C, LOJA L"_s,
                               u"WHERE"_s,
                               u"  ((INSTR(:P_CDFILIAL, C.CDFILIAL) <> 0) OR (:P_TCDFILIAL = 'T')) AND"_s,
                               u"  ((INSTR(:P_CDLOJA, C.CDLOJA) <> 0) OR (:P_TCDLOJA = 'T')) AND"_s,
                               u"  (C.CDFILIAL = L.CDFILIAL) AND"_s,
                               u"  (C.CDLOJA = L.CDLOJA)"_s,
                               u"ORDER BY"_s,
                               u"  C.CDFILIAL, L.CDLOJA, C.CDCAIXA"_s};
    static const QList<LookupStatement> statements{
        {"qryFilial",
         {u"SELECT"_s, u"  CDFILIAL, NMFILIAL"_s, u"FROM"_s, u"  FILIAL"_s, u"WHERE"_s,
          u"  ((CDFILIAL = :P_CDFILIAL) OR (:P_TCDFILIAL = 'T'))"_s, u"ORDER BY"_s, u"  CDFILIAL"_s},
         {},
         {},
         {},
         {{u"CDFILIAL"_s, u"Código"_s, 4, true, {}, {}}, {u"NMFILIAL"_s, u"Nome"_s, 30, true, {}, {}}}},
        {"qryLoja",
         lojaSql,
         lojaSql,
         {u"SELECT"_s, u"  CDFILIAL, CDLOJA, NMLOJA"_s, u"FROM"_s, u"  LOJA"_s, u"WHERE"_s,
          u"  ((CHARINDEX(CDFILIAL, :P_CDFILIAL) <> 0) OR (:P_TCDFILIAL = 'T')) "_s},
         {u"SELECT"_s, u"  CDFILIAL, CDLOJA, NMLOJA"_s, u"FROM"_s, u"  LOJA, PARAM(:P_CDFILIAL)P_CDFILIAL"_s,
          u"WHERE"_s, u"  ((INSTR(P_CDFILIAL.PARAM, CDFILIAL) <> 0) OR (:P_TCDFILIAL = 'T'))"_s},
         {{u"CDFILIAL"_s, u"Filial"_s, 4, false, {}, {}},
          {u"CDLOJA"_s, u"Código"_s, 10, true, {}, {}},
          {u"NMLOJA"_s, u"Nome"_s, 35, true, {}, {}}}},
        {"qryCaixa",
         caixaSql,
         caixaSql,
         {u" SELECT"_s,
          u"  C.CDFILIAL, C.CDCAIXA,  L.CDLOJA, L.NMLOJA, C.NMCAIXA"_s,
          u"FROM"_s,
          u"  CAIXA C, LOJA L"_s,
          u"WHERE"_s,
          u"  ((CHARINDEX(C.CDFILIAL, :P_CDFILIAL) <> 0) OR (:P_TCDFILIAL = 'T')) AND"_s,
          u"  ((CHARINDEX(C.CDLOJA, :P_CDLOJA) <> 0) OR (:P_TCDLOJA = 'T')) AND"_s,
          u"  (C.CDFILIAL = L.CDFILIAL) AND"_s,
          u"  (C.CDLOJA = L.CDLOJA)"_s,
          u"ORDER BY"_s,
          u"  C.CDFILIAL, L.CDLOJA, C.CDCAIXA"_s},
         {u" SELECT"_s,
          u"  C.CDFILIAL, C.CDCAIXA,  L.CDLOJA, L.NMLOJA, C.NMCAIXA"_s,
          u"FROM"_s,
          u"  CAIXA C, LOJA L, PARAM(:P_CDFILIAL)P_CDFILIAL, PARAM(:P_CDLOJA)P_CDLOJA"_s,
          u"WHERE"_s,
          u"  ((INSTR(P_CDFILIAL.PARAM, C.CDFILIAL) <> 0) OR (:P_TCDFILIAL = 'T')) AND"_s,
          u"  ((INSTR(P_CDLOJA.PARAM, C.CDLOJA) <> 0) OR (:P_TCDLOJA = 'T')) AND"_s,
          u"  (C.CDFILIAL = L.CDFILIAL) AND"_s,
          u"  (C.CDLOJA = L.CDLOJA)"_s,
          u"ORDER BY"_s,
          u"  C.CDFILIAL, L.CDLOJA, C.CDCAIXA"_s,
          u" "_s},
         {{u"CDFILIAL"_s, u"Filial"_s, 4, false, {}, {}},
          {u"CDCAIXA"_s, u"Código"_s, 3, true, u"CAIXA.CDCAIXA"_s, {}},
          {u"NMCAIXA"_s, u"Nome"_s, 30, true, u"CAIXA.NMCAIXA"_s, {}},
          {u"CDLOJA"_s, {}, 10, false, {}, {}},
          {u"NMLOJA"_s, {}, 50, false, {}, {}}}},
        {"qryProduto",
         {u"SELECT"_s, u"  CDARVPROD, CDPRODUTO, NMPRODUTO, SGUNIDADE, CDNVPRODUTO"_s, u"FROM"_s, u"  PRODUTO"_s,
          u"WHERE ((CDARVPROD = :P_CDARVPROD) OR (:P_TCDARVPROD = 'T'))"_s, u"ORDER BY"_s, u"  CDARVPROD"_s},
         {},
         {},
         {},
         {{u"CDARVPROD"_s, u"Código"_s, 20, true, {}, {}},
          {u"CDPRODUTO"_s, {}, 10, false, {}, {}},
          {u"NMPRODUTO"_s, u"Nome"_s, 50, true, {}, {}},
          {u"SGUNIDADE"_s, {}, 10, false, {}, {}},
          {u"CDNVPRODUTO"_s, {}, 1, false, {}, {}}}},
    };
    return statements;
}

const LookupStatement *findLookupStatement(const QString &queryName)
{
    for (const LookupStatement &s : lookupStatements()) {
        if (QLatin1String(s.name) == queryName)
            return &s;
    }
    return nullptr;
}
