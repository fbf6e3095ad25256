#pragma once
// Text of a PDF file through pdftotext, as lines or as words with their places; empty when
// the tool is missing.

#include <QList>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
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

/// A word of a PDF page where it stands, in points from the page's top left corner.
struct TPdfWord {
    QString Text;
    QRectF Box;
};

/// A page of a PDF: its size in points and its words in reading order.
struct TPdfPage {
    QSizeF Size;
    QList<TPdfWord> Words;
    /// The box of the first run of words reading text (words parted by blanks) that starts
    /// at or below the height below; an empty box when there is none.
    QRectF Find(const QString& text, double below = -1) const {
        const QStringList parts = text.split(' ', Qt::SkipEmptyParts);
        for (int i = 0; i + parts.size() <= Words.size(); ++i) {
            if (Words[i].Box.top() < below)
                continue;
            QRectF box;
            int n = 0;
            while (n < parts.size() && Words[i + n].Text == parts[n])
                box |= Words[i + n++].Box;
            if (n == parts.size())
                return box;
        }
        return {};
    }
};

/// The pages of a PDF with their words' boxes (pdftotext -bbox); empty when the tool is missing.
inline QList<TPdfPage> PdfWords(const QString& path) {
    QProcess p;
    p.start(QStandardPaths::findExecutable("pdftotext"), {"-bbox", path, "-"});
    if (!p.waitForFinished(30000))
        return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression tag(
        QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">|"
                       "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">"
                       "([^<]*)</word>"));
    QList<TPdfPage> pages;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty()) {
            pages.append({QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()), {}});
        } else if (!pages.isEmpty()) {
            QString text = m.captured(7);
            text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
            const QPointF topLeft(m.captured(3).toDouble(), m.captured(4).toDouble());
            const QPointF bottomRight(m.captured(5).toDouble(), m.captured(6).toDouble());
            pages.last().Words.append({text, QRectF(topLeft, bottomRight)});
        }
    }
    return pages;
}
