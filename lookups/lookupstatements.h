#pragma once

#include "dataset.h"
#include "vnd02500_global.h"

#include <QList>
#include <QStringList>

// One lookup query of the screen: its statement text per dialect (empty: the default text serves)
// and its fields in their defined order.
struct LookupStatement
{
    const char *name; // qryFilial, qryLoja, qryCaixa, qryProduto
    QStringList sql, oracle, mssql, ib;
    QList<TFieldDef> fields;
};

VND_EXPORT const QList<LookupStatement> &lookupStatements();
VND_EXPORT const LookupStatement *findLookupStatement(const QString &queryName);
