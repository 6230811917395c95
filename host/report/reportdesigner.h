#pragma once

#include "host_global.h"
#include "params.h"

#include <QObject>

// The report designer dialog of a report screen: the report engine asks it for the values of a
// report's query parameters before the query runs.
class HOST_EXPORT TReportDesignerDialog : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Raises BeforeGetQueryParams with the report's parameter list; the handler fills it.
    void requestParams(TParams &params);

Q_SIGNALS:
    void BeforeGetQueryParams(TParams &params, bool &flag);
};

// True when the report declares a parameter of that name.
HOST_EXPORT bool ExistParam(const TParams &params, const QString &name);
