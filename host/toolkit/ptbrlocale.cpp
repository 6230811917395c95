#include "ptbrlocale.h"

const QLocale &ptBRLocale()
{
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}
