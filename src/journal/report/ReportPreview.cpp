#include "journal/report/ReportPreview.h"

#include "journal/report/ReportLayer.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {
std::function<void(TReport&)> previewHook;
} // namespace

void SetReportPreviewHook(std::function<void(TReport&)> hook) {
    previewHook = std::move(hook);
}

void PreviewReport(TReport& report, QWidget* parent) {
    report.Prepare();
    if (previewHook) {
        previewHook(report);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(report.PageLayout);
    printer.setDocName(report.Title);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(report.Title.isEmpty() ? QStringLiteral("Предварительный просмотр") : report.Title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&report, parent](QPrinter* p) {
        try {
            report.Print(p);
        } catch (const std::exception& e) {
            ShowError(ExceptionText(e), parent);
        }
    });
    dialog.exec();
}
