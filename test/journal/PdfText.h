#pragma once
// Text of a PDF file through pdftotext; empty when the tool is missing.

#include <QProcess>
#include <QStandardPaths>
#include <QString>

inline bool HavePdfToText() {
    return !QStandardPaths::findExecutable("pdftotext").isEmpty();
}

inline QString PdfText(const QString& path) {
    QProcess p;
    p.start(QStandardPaths::findExecutable("pdftotext"), {"-layout", path, "-"});
    if (!p.waitForFinished(30000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}
