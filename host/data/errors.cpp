#include "errors.h"

EHostError::EHostError(QString message) : mMessage(std::move(message)), mUtf8(mMessage.toUtf8()) {}

QString describeException(const std::exception &e)
{
    if (auto *hostError = dynamic_cast<const EHostError *>(&e))
        return hostError->message();
    return QString::fromUtf8(e.what());
}
