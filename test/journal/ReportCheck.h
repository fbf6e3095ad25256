#pragma once
// Checks of a prepared report page: every text fits its room and none stands on another.

#include "journal/report/ReportLayer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QList>
#include <QPair>
#include <gtest/gtest.h>

// Where the texts of a prepared page really stand, in millimetres: a line's text where its
// alignment puts it, a rich-text box as its box. Fails when a text is wider than its room.
inline QList<QPair<QString, QRectF>> InkBoxes(const TReport& report, int page) {
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(11811); // 300 dpi, as the PDF
    device.setDotsPerMeterY(11811);
    const double mm = 300 / 25.4;
    QList<QPair<QString, QRectF>> boxes;
    for (const TPreparedItem& item : report.Page(page).Items) {
        if (item.IsLine)
            continue;
        if (item.Doc) {
            boxes.append({"[comments]", item.Rect});
            continue;
        }
        const QString text = QString(item.Text).replace("%2", "9");
        if (text.trimmed().isEmpty())
            continue;
        const QFontMetricsF fm(item.Font, &device);
        const QRectF room(item.Rect.x() * mm, item.Rect.y() * mm, item.Rect.width() * mm,
                          item.Rect.height() * mm);
        const QRectF ink =
            fm.boundingRect(room, int(item.Align) | (item.WordWrap ? Qt::TextWordWrap : 0), text);
        EXPECT_LE(ink.width(), room.width() + 0.5) << "text wider than its room: " << text.toStdString();
        EXPECT_LE(ink.height(), room.height() + 0.5) << "text taller than its room: " << text.toStdString();
        boxes.append({text, QRectF(ink.x() / mm, ink.y() / mm, ink.width() / mm, ink.height() / mm)});
    }
    return boxes;
}

// No text of a page stands on another.
inline void ExpectNothingOverlaps(const TReport& report) {
    for (int p = 0; p < report.PageCount(); ++p) {
        const auto boxes = InkBoxes(report, p);
        for (int i = 0; i < boxes.size(); ++i)
            for (int j = i + 1; j < boxes.size(); ++j) {
                const QRectF common = boxes[i].second.intersected(boxes[j].second);
                EXPECT_TRUE(common.width() < 0.3 || common.height() < 0.3)
                    << "page " << p + 1 << ": \"" << boxes[i].first.toStdString() << "\" and \""
                    << boxes[j].first.toStdString() << "\" overlap";
            }
    }
}
