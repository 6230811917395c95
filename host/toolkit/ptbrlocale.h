#pragma once

#include "host_global.h"

#include <QLocale>

// The one locale of the host's texts: Brazilian Portuguese, decimal comma, thousands dot.
HOST_EXPORT const QLocale &ptBRLocale();
