#include "exportscreendriver.h"

#include <QHash>

namespace {
QHash<QString, ExportScreenDriver::Factory> &factories()
{
    static QHash<QString, ExportScreenDriver::Factory> map;
    return map;
}
} // namespace

void ExportScreenDriver::registerFactory(const QString &screenCode, Factory factory)
{
    factories().insert(screenCode, std::move(factory));
}

void ExportScreenDriver::unregisterFactory(const QString &screenCode)
{
    factories().remove(screenCode);
}

ExportScreenDriver::Factory ExportScreenDriver::factory(const QString &screenCode)
{
    return factories().value(screenCode);
}

ExportScreenDriver::~ExportScreenDriver() = default;
