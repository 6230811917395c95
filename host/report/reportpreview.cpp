#include "reportpreview.h"

#include "reportdocument.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Pages kept painted around the one on screen; each is a few MB at screen resolution.
constexpr int kKeptPages = 5;
constexpr int kPageMargin = 16; // pixels around the page in the view

} // namespace

ReportPreview::ReportPreview(std::shared_ptr<const ReportDocument> document, QWidget *parent)
    : QDialog(parent), mDocument(std::move(document)), mPages(mDocument->pageCount())
{
    mPool.setMaxThreadCount(1);
    setWindowTitle(u"Visualizar - "_s + mDocument->model().title);
    resize(1000, 800);

    auto button = [this](const QString &text, const QString &tip) {
        auto *b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        return b;
    };
    mFirst = button(u"|◀"_s, u"Primeira página"_s);
    mPrevious = button(u"◀"_s, u"Página anterior (PageUp)"_s);
    mNext = button(u"▶"_s, u"Próxima página (PageDown)"_s);
    mLast = button(u"▶|"_s, u"Última página"_s);
    mPageLabel = new QLabel(this);
    mZoomBox = new QComboBox(this);
    mZoomBox->addItem(u"Ajustar à largura"_s, 0.0);
    for (const int percent : {50, 75, 100, 125, 150, 200})
        mZoomBox->addItem(u"%1%"_s.arg(percent), percent / 100.0);
    auto *print = new QPushButton(u"Imprimir"_s, this);
    auto *close = new QPushButton(u"Fechar"_s, this);

    auto *bar = new QHBoxLayout;
    for (QWidget *w : {static_cast<QWidget *>(mFirst), static_cast<QWidget *>(mPrevious), static_cast<QWidget *>(mPageLabel),
                       static_cast<QWidget *>(mNext), static_cast<QWidget *>(mLast)})
        bar->addWidget(w);
    bar->addSpacing(16);
    bar->addWidget(new QLabel(u"Zoom:"_s, this));
    bar->addWidget(mZoomBox);
    bar->addStretch(1);
    bar->addWidget(print);
    bar->addWidget(close);

    mView = new QLabel(this);
    mView->setAlignment(Qt::AlignCenter);
    mView->setMargin(kPageMargin);
    mScroll = new QScrollArea(this);
    mScroll->setWidget(mView);
    mScroll->setWidgetResizable(true);
    mScroll->setAlignment(Qt::AlignCenter);
    mScroll->setBackgroundRole(QPalette::Dark);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(mScroll, 1);

    connect(mFirst, &QToolButton::clicked, this, [this] { showPage(0); });
    connect(mPrevious, &QToolButton::clicked, this, [this] { showPage(mPage - 1); });
    connect(mNext, &QToolButton::clicked, this, [this] { showPage(mPage + 1); });
    connect(mLast, &QToolButton::clicked, this, [this] { showPage(mPages - 1); });
    connect(new QShortcut(QKeySequence(Qt::Key_PageUp), this), &QShortcut::activated, this,
            [this] { showPage(mPage - 1); });
    connect(new QShortcut(QKeySequence(Qt::Key_PageDown), this), &QShortcut::activated, this,
            [this] { showPage(mPage + 1); });
    connect(mZoomBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { setZoom(mZoomBox->itemData(index).toDouble()); });
    connect(print, &QPushButton::clicked, this, [this] {
        mPrint = true;
        accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    updateView();
    // The first page is painted once the window has its size.
    QTimer::singleShot(0, this, &ReportPreview::schedule);
}

ReportPreview::~ReportPreview()
{
    mPool.clear();
    mPool.waitForDone();
}

QString ReportPreview::pageText() const
{
    return mPages > 0 ? u"Página %1 de %2"_s.arg(mPage + 1).arg(mPages) : u"Nenhuma página"_s;
}

void ReportPreview::showPage(int page)
{
    page = std::clamp(page, 0, std::max(0, mPages - 1));
    if (page == mPage)
        return;
    mPage = page;
    // Keep the pages next to the new one; the rest can be painted again when needed.
    for (auto it = mCache.begin(); it != mCache.end();) {
        if (std::abs(it.key() - mPage) > kKeptPages / 2)
            it = mCache.erase(it);
        else
            ++it;
    }
    updateView();
    mScroll->verticalScrollBar()->setValue(0);
    if (mCache.contains(mPage))
        Q_EMIT pageShown(mPage);
    schedule();
}

void ReportPreview::setZoom(double zoom)
{
    if (zoom == mZoom)
        return;
    mZoom = zoom;
    dropCache();
}

void ReportPreview::dropCache()
{
    ++mGeneration; // a page still in the worker is for the old size
    mCache.clear();
    mFitWidth = mScroll->viewport()->width();
    updateView();
    schedule();
}

void ReportPreview::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (mScroll && mZoom == 0 && mFitWidth != 0 && mScroll->viewport()->width() != mFitWidth)
        dropCache();
}

double ReportPreview::pixelsPerPoint() const
{
    const QRectF paper = mDocument->pageLayout().fullRectPoints();
    if (mZoom > 0)
        return mZoom * logicalDpiX() / 72.0;
    const int width = std::max(200, mScroll->viewport()->width() - 2 * kPageMargin - 4);
    return width / paper.width();
}

void ReportPreview::schedule()
{
    if (mPainting >= 0 || mPages == 0)
        return;
    if (mFitWidth == 0)
        mFitWidth = mScroll->viewport()->width();
    // The page on screen first, then the next one (the likely move), then the previous one.
    for (const int page : {mPage, mPage + 1, mPage - 1}) {
        if (page >= 0 && page < mPages && !mCache.contains(page)) {
            paintInWorker(page);
            return;
        }
    }
}

void ReportPreview::paintInWorker(int page)
{
    mPainting = page;
    const double scale = pixelsPerPoint() * devicePixelRatioF();
    const QRectF paper = mDocument->pageLayout().fullRectPoints();
    const int generation = mGeneration;
    const qreal ratio = devicePixelRatioF();
    mPool.start([this, page, generation, scale, paper, ratio, document = mDocument] {
        QImage image(qMax(1, qRound(paper.width() * scale)), qMax(1, qRound(paper.height() * scale)),
                     QImage::Format_RGB32);
        // paintPage scales from the layout's 300 dpi to the device's dots per inch.
        const int dotsPerMeter = qRound(scale * 72.0 / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            document->paintPage(&painter, page);
        }
        image.setDevicePixelRatio(ratio);
        // The window outlives this call: its destructor waits for the pool.
        QMetaObject::invokeMethod(this, [this, page, generation, image] { painted(page, generation, image); },
                                  Qt::QueuedConnection);
    });
}

void ReportPreview::painted(int page, int generation, const QImage &image)
{
    mPainting = -1;
    if (generation == mGeneration && std::abs(page - mPage) <= kKeptPages / 2) {
        mCache.insert(page, image);
        if (page == mPage) {
            updateView();
            Q_EMIT pageShown(page);
        }
    }
    schedule();
}

void ReportPreview::updateView()
{
    mPageLabel->setText(pageText());
    mFirst->setEnabled(mPage > 0);
    mPrevious->setEnabled(mPage > 0);
    mNext->setEnabled(mPage + 1 < mPages);
    mLast->setEnabled(mPage + 1 < mPages);
    const auto it = mCache.constFind(mPage);
    if (it != mCache.constEnd())
        mView->setPixmap(QPixmap::fromImage(it.value()));
    else
        mView->setText(mPages > 0 ? u"Preparando a página %1…"_s.arg(mPage + 1) : u"O relatório não tem páginas."_s);
}
