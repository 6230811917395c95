#include "reportdesigner.h"

#include "eventboundary.h"

void TReportDesignerDialog::requestParams(TParams &params)
{
    bool flag = true;
    // A handler that fails stops the report: it does not run on parameters half filled.
    EventBoundary::emitStopping([&] { Q_EMIT BeforeGetQueryParams(params, flag); });
}

bool ExistParam(const TParams &params, const QString &name)
{
    return params.FindParam(name) != nullptr;
}
