#pragma once

#include "host_global.h"

#include <QImage>
#include <QRectF>

class QPainter;
struct ReportModel;

// The bar chart of a model's chart series drawn into `rect` of any painter: vector text and bars on
// a PDF or a printer, pixels on an image. Every measure scales with the rectangle's height.
HOST_EXPORT void drawReportChart(QPainter *painter, const QRectF &rect, const ReportModel &model);
// The same chart as an image of `width` x `height` pixels (HTML export).
HOST_EXPORT QImage renderReportChart(const ReportModel &model, int width, int height);
