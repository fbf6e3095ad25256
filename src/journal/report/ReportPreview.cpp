#include "journal/report/ReportPreview.h"

#include "journal/report/ReportLayer.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
std::function<void(TReport&)> previewHook;

constexpr double screenDpi = 96;
constexpr double minZoom = 0.25;
constexpr double maxZoom = 4.0;
// A printing slice ends after this long, so that the window answers between slices.
constexpr int sliceMs = 25;
} // namespace

TReportPageView::TReportPageView(TReport& report, QWidget* parent) : QWidget(parent), report_(report) {
    setObjectName("ReportPage");
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(sizeHint());
}

QSize TReportPageView::pagePixels() const {
    const QSizeF mm = report_.PageLayout.fullRect(QPageLayout::Millimeter).size();
    const double dpmm = screenDpi * zoom_ / 25.4;
    return QSize(qRound(mm.width() * dpmm), qRound(mm.height() * dpmm));
}

QSize TReportPageView::sizeHint() const {
    return pagePixels() + QSize(16, 16);
}

void TReportPageView::SetPage(int index) {
    if (index == page_ && !image_.isNull())
        return;
    page_ = index;
    image_ = QImage();
    update();
}

void TReportPageView::SetZoom(double zoom) {
    zoom = std::clamp(zoom, minZoom, maxZoom);
    if (qFuzzyCompare(zoom, zoom_))
        return;
    zoom_ = zoom;
    image_ = QImage();
    resize(sizeHint());
    update();
}

void TReportPageView::paintEvent(QPaintEvent*) {
    if (image_.isNull()) {
        // Drawn at the zoom's resolution, so that the fonts scale with the page.
        image_ = QImage(pagePixels(), QImage::Format_RGB32);
        const int dpm = qRound(screenDpi * zoom_ / 0.0254);
        image_.setDotsPerMeterX(dpm);
        image_.setDotsPerMeterY(dpm);
        image_.fill(Qt::white);
        QPainter p(&image_);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF paint = report_.PageLayout.paintRect(QPageLayout::Millimeter);
        const double dpmm = screenDpi * zoom_ / 25.4;
        p.translate(paint.left() * dpmm, paint.top() * dpmm);
        try {
            report_.PaintPage(p, &image_, page_);
        } catch (const std::exception& e) {
            // The rows could not be read (the journal went away, a damaged file): the page
            // says so, and the operator is told once, outside the paint.
            p.resetTransform();
            image_.fill(Qt::white);
            p.setPen(Qt::darkRed);
            p.drawText(image_.rect().adjusted(20, 20, -20, -20), Qt::AlignTop | Qt::TextWordWrap,
                       QStringLiteral("Не удалось подготовить страницу %1: %2")
                           .arg(page_ + 1)
                           .arg(ExceptionText(e)));
            if (!failed_) {
                failed_ = true;
                const QString text = QStringLiteral("Не удалось подготовить страницу отчета %1: %2")
                                         .arg(page_ + 1)
                                         .arg(ExceptionText(e));
                QTimer::singleShot(0, this, [this, text] { ShowError(text, window()); });
            }
        }
    }
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    const QRect page(QPoint(8, 8), pagePixels());
    p.fillRect(page.translated(3, 3), QColor(0, 0, 0, 90));
    p.drawImage(page.topLeft(), image_);
}

TReportPreview::TReportPreview(TReport& report, QWidget* parent) : QDialog(parent), report_(report) {
    setObjectName("ReportPreview");
    report_.Prepare();
    setWindowTitle(report.Title.isEmpty() ? QStringLiteral("Предварительный просмотр") : report.Title);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    const auto button = [this](const char* name, const QString& hint, QStyle::StandardPixmap pixmap) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setIcon(style()->standardIcon(pixmap));
        b->setToolTip(hint);
        b->setAutoRaise(true);
        return b;
    };
    bFirst = button("bFirst", "Первая страница", QStyle::SP_MediaSkipBackward);
    bPrior = button("bPrior", "Предыдущая страница", QStyle::SP_MediaSeekBackward);
    bNext = button("bNext", "Следующая страница", QStyle::SP_MediaSeekForward);
    bLast = button("bLast", "Последняя страница", QStyle::SP_MediaSkipForward);
    ePage = new QSpinBox(this);
    ePage->setObjectName("ePage");
    ePage->setRange(1, std::max(1, report.PageCount()));
    ePage->setToolTip("Номер страницы");
    ePage->setKeyboardTracking(false);
    lPages = new QLabel(QStringLiteral("из %1").arg(report.PageCount()), this);
    lPages->setObjectName("lPages");
    bZoomOut = button("bZoomOut", "Уменьшить", QStyle::SP_ArrowDown);
    bZoomOut->setIcon(QIcon());
    bZoomOut->setText("−");
    bZoomIn = button("bZoomIn", "Увеличить", QStyle::SP_ArrowUp);
    bZoomIn->setIcon(QIcon());
    bZoomIn->setText("+");
    lZoom = new QLabel(this);
    lZoom->setObjectName("lZoom");
    lZoom->setText("400 %");
    lZoom->setMinimumWidth(lZoom->sizeHint().width());
    lZoom->setAlignment(Qt::AlignCenter);
    bPrint = button("bPrint", "Печать", QStyle::SP_FileIcon);
    bPrint->setIcon(ReportIcon());
    bPrint->setText("Печать");
    bPrint->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    View = new TReportPageView(report, this);
    Scroll = new QScrollArea(this);
    Scroll->setObjectName("Scroll");
    Scroll->setWidget(View);
    Scroll->setAlignment(Qt::AlignHCenter);
    Scroll->setBackgroundRole(QPalette::Dark);

    auto* bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{bPrint, bFirst, bPrior, ePage, lPages, bNext, bLast})
        bar->addWidget(w);
    bar->addSpacing(16);
    for (QWidget* w : std::initializer_list<QWidget*>{bZoomOut, lZoom, bZoomIn})
        bar->addWidget(w);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(Scroll, 1);

    connect(bFirst, &QToolButton::clicked, this, [this] { ShowPage(0); });
    connect(bPrior, &QToolButton::clicked, this, [this] { ShowPage(CurrentPage() - 1); });
    connect(bNext, &QToolButton::clicked, this, [this] { ShowPage(CurrentPage() + 1); });
    connect(bLast, &QToolButton::clicked, this, [this] { ShowPage(report_.PageCount() - 1); });
    connect(ePage, &QSpinBox::valueChanged, this, [this](int page) { ShowPage(page - 1); });
    connect(bZoomIn, &QToolButton::clicked, this, [this] { ZoomBy(1.25); });
    connect(bZoomOut, &QToolButton::clicked, this, [this] { ZoomBy(1 / 1.25); });
    connect(bPrint, &QToolButton::clicked, this, &TReportPreview::printClick);

    // The whole width of the page in view at first, up to its natural size.
    resize(std::min(1000, View->sizeHint().width() + 40), 760);
    const double fit =
        (width() - 40 - Scroll->verticalScrollBar()->sizeHint().width()) / double(View->sizeHint().width());
    View->SetZoom(std::min(1.0, fit));
    updateControls();
}

void TReportPreview::ShowPage(int index) {
    index = std::clamp(index, 0, std::max(0, report_.PageCount() - 1));
    if (index != CurrentPage())
        Scroll->verticalScrollBar()->setValue(0); // a new page is read from its top
    View->SetPage(index);
    updateControls();
}

void TReportPreview::ZoomBy(double factor) {
    View->SetZoom(View->Zoom() * factor);
    updateControls();
}

void TReportPreview::updateControls() {
    const int page = CurrentPage();
    const int last = std::max(0, report_.PageCount() - 1);
    bFirst->setEnabled(page > 0);
    bPrior->setEnabled(page > 0);
    bNext->setEnabled(page < last);
    bLast->setEnabled(page < last);
    if (ePage->value() != page + 1) {
        const QSignalBlocker block(ePage);
        ePage->setValue(page + 1);
    }
    lZoom->setText(QStringLiteral("%1 %").arg(qRound(View->Zoom() * 100)));
    bZoomIn->setEnabled(View->Zoom() < maxZoom - 1e-6);
    bZoomOut->setEnabled(View->Zoom() > minZoom + 1e-6);
    bPrint->setEnabled(report_.PageCount() > 0);
}

void TReportPreview::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_PageDown:
        ShowPage(CurrentPage() + 1);
        return;
    case Qt::Key_PageUp:
        ShowPage(CurrentPage() - 1);
        return;
    case Qt::Key_Home:
        if (e->modifiers() & Qt::ControlModifier) {
            ShowPage(0);
            return;
        }
        break;
    case Qt::Key_End:
        if (e->modifiers() & Qt::ControlModifier) {
            ShowPage(report_.PageCount() - 1);
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(e);
}

void TReportPreview::printClick() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(report_.PageLayout);
    printer.setDocName(report_.Title);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle("Печать отчета");
    dialog.setMinMax(1, std::max(1, report_.PageCount()));
    if (dialog.exec() == QDialog::Accepted)
        PrintTo(printer);
}

bool TReportPreview::PrintTo(QPrinter& printer) {
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    TReportPrinter job(report_, &printer);
    if (!job.Begin()) {
        ShowError(toFile ? QStringLiteral("Не удалось записать файл %1").arg(printer.outputFileName())
                         : QStringLiteral("Не удалось начать печать отчета"),
                  this);
        return false;
    }
    QProgressDialog progress(QStringLiteral("Печать отчета: страница 0 из %1").arg(job.Total()),
                             QStringLiteral("Отмена"), 0, job.Total(), this);
    progress.setObjectName("PrintProgress");
    progress.setWindowTitle("Печать");
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(300);

    // Pages are painted in slices from the event loop: the windows keep answering, and the
    // operator's "Отмена" is seen between two pages.
    QEventLoop loop;
    bool stopped = false;
    QString error;
    QTimer slice;
    slice.setInterval(0);
    connect(&slice, &QTimer::timeout, &loop, [&] {
        if (progress.wasCanceled()) {
            stopped = true;
            loop.quit();
            return;
        }
        QElapsedTimer t;
        t.start();
        try {
            do {
                if (!job.Next()) {
                    loop.quit();
                    return;
                }
            } while (t.elapsed() < sliceMs);
        } catch (const std::exception& e) {
            error = ExceptionText(e);
            stopped = true;
            loop.quit();
            return;
        }
        progress.setLabelText(
            QStringLiteral("Печать отчета: страница %1 из %2").arg(job.Done()).arg(job.Total()));
        progress.setValue(job.Done());
    });
    slice.start();
    loop.exec();
    slice.stop();
    if (stopped)
        printer.abort();
    job.End();
    progress.close();
    if (stopped && toFile)
        QFile::remove(printer.outputFileName()); // a document cut short is no document
    if (!error.isEmpty())
        ShowError(QStringLiteral("Печать отчета прервана на странице %1: %2").arg(job.Done() + 1).arg(error),
                  this);
    return !stopped;
}

void SetReportPreviewHook(std::function<void(TReport&)> hook) {
    previewHook = std::move(hook);
}

void PreviewReport(TReport& report, QWidget* parent) {
    report.Prepare();
    if (previewHook) {
        previewHook(report);
        return;
    }
    TReportPreview dialog(report, parent);
    dialog.exec();
}

QIcon ReportIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen outline(QColor(60, 60, 60), 1.5);
    // The sheet going in, with its lines of text.
    p.setPen(outline);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 2.5, 14, 12));
    p.setPen(QPen(QColor(40, 90, 170), 1.2));
    for (double y : {6.0, 9.0, 12.0})
        p.drawLine(QPointF(11.5, y), QPointF(20.5, y));
    // The printer.
    p.setPen(outline);
    p.setBrush(QColor(150, 155, 165));
    QPainterPath body;
    body.addRoundedRect(QRectF(3, 12.5, 26, 11), 2.5, 2.5);
    p.drawPath(body);
    p.setBrush(QColor(60, 200, 90));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(24.5, 16.5), 1.5, 1.5);
    // The printed sheet coming out.
    p.setPen(outline);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 20.5, 16, 9));
    p.setPen(QPen(QColor(40, 90, 170), 1.2));
    p.drawLine(QPointF(10.5, 24), QPointF(21.5, 24));
    p.drawLine(QPointF(10.5, 27), QPointF(18.5, 27));
    p.end();
    return QIcon(pixmap);
}
