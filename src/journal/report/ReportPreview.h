#pragma once
// The print preview of a banded report.

#include <functional>

class QWidget;
class TReport;

/// Prepares the report and shows it in the print preview; returns when the preview is closed.
void PreviewReport(TReport& report, QWidget* parent = nullptr);

/// Test hook: when set it receives the report instead of the preview window.
void SetReportPreviewHook(std::function<void(TReport&)> hook);
