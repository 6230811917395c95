#pragma once

#include "host_global.h"

#include <QString>

class TClientDataSet;

// Product search of the report screens: prepares `cds` for the search list (hidden CDPRODUTO,
// CDARVPROD "Código" with the product-tree mask, NMPRODUTO "Nome") and answers the statement text
// the search buttons run. It lists the products sold at the branch (sales items of that branch), or
// every product when the branch has sold nothing or no branch is given.
//
// The button runs a plain text, so the code goes in as a SQL literal: only a code of up to four
// characters 0-9, A-Z and Ç is accepted (blanks around it ignored); any other text throws
// EHostError instead of reaching the statement.
HOST_EXPORT QString SQL_Pesquisa_Produto_CDS(const QString &branchCode, TClientDataSet *cds);

// True for a text that may stand for a branch code in the product search.
HOST_EXPORT bool isSearchableBranchCode(const QString &code);
