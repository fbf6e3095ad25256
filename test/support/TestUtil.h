#pragma once
// Small helpers shared by the test executables.

#include "platform/Table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTableWidget>
#include <QThread>
#include <functional>
#include <ostream>

/// Test failures show texts as texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

/// Runs window events until cond holds; false when ms pass first.
inline bool PumpUntil(const std::function<bool()>& cond, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

/// Text of a grid cell; empty for a cell never written.
inline QString GridCell(const QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* it = grid->item(row, column);
    return it ? it->text() : QString();
}

/// Text of a cell of a grid that keeps its own texts (the main window's message grid;
/// row 0 is its header).
template <typename Grid>
requires requires(const Grid* g) {
    g->cellText(0, 0);
}
inline QString GridCell(const Grid* grid, int row, int column) {
    return grid->cellText(row, column);
}

/// The given columns of a table row joined by '|', so that a row is checked in one line.
inline QString RowFields(const TRow& row, std::initializer_list<int> columns) {
    QStringList texts;
    for (int c : columns)
        texts << row.value(c).toString();
    return texts.join('|');
}
