#pragma once

#include "host_global.h"

#include <QDialog>
#include <QHash>
#include <QImage>
#include <QThreadPool>
#include <memory>

class QComboBox;
class QLabel;
class QScrollArea;
class QToolButton;
class ReportDocument;

// The report's preview: one page at a time, painted on a worker thread at the zoom shown, only the
// page on screen and its neighbours (a long report is never painted whole to be looked at).
// Navigation (first, previous, next, last, PageUp/PageDown), zoom, "Imprimir" and "Fechar".
class HOST_EXPORT ReportPreview : public QDialog
{
    Q_OBJECT
public:
    explicit ReportPreview(std::shared_ptr<const ReportDocument> document, QWidget *parent = nullptr);
    ~ReportPreview() override; // waits for the page being painted

    int currentPage() const { return mPage; } // from 0
    int pageCount() const { return mPages; }
    void showPage(int page);
    // Pixels per point of paper; 0 fits the page's width to the window.
    void setZoom(double zoom);
    // True when the window closed through "Imprimir".
    bool printRequested() const { return mPrint; }
    // The label under the toolbar: "Página N de M".
    QString pageText() const;

Q_SIGNALS:
    // The page's image is on screen.
    void pageShown(int page);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    double pixelsPerPoint() const;
    void schedule();
    void paintInWorker(int page);
    void painted(int page, int generation, const QImage &image);
    void updateView();
    void dropCache();

    std::shared_ptr<const ReportDocument> mDocument;
    int mPages = 0;
    int mPage = 0;
    double mZoom = 0;
    int mGeneration = 0;
    int mPainting = -1; // page in the worker, -1 when idle
    QHash<int, QImage> mCache;
    bool mPrint = false;
    QThreadPool mPool; // one thread: a page at a time, the one on screen first
    QScrollArea *mScroll = nullptr;
    QLabel *mView = nullptr;
    QLabel *mPageLabel = nullptr;
    QComboBox *mZoomBox = nullptr;
    QToolButton *mFirst = nullptr, *mPrevious = nullptr, *mNext = nullptr, *mLast = nullptr;
    int mFitWidth = 0; // viewport width the cache was painted for, in fit-width mode
};
