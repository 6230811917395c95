#include "reportdesigner.h"

void TReportDesignerDialog::requestParams(TParams &params)
{
    bool flag = true;
    Q_EMIT BeforeGetQueryParams(params, flag);
}

bool ExistParam(const TParams &params, const QString &name)
{
    return params.FindParam(name) != nullptr;
}
