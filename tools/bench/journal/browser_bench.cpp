// Browser and factory-numbers benchmark, against the real windows (offscreen):
//
//   browser_bench [rows] [blockRows] [folder] [parts]
//
// folder: where the tables are made (a fresh temporary folder by default); a "Test23.DB"
// already there is used as it is. parts: "all" (the default), "selection" (only 4) or "keys"
// (only 5).
// 1. A tests 2/3 journal "Test23.DB" of `rows` rows (1,000,000 by default), 1,000 a day:
//    the browser's first paint after it is shown, the jump to the last row, a ten-day
//    date-range filter applied through the record selection, the deletion of 1,000
//    selected rows, and the memory the browser added.
// 2. A factory-numbers table "BlockNum.DB" of `blockRows` rows (100,000): the window's
//    creation at start-up, a test result's save behind the hidden window (a known set and
//    a new one), the window's first paint, and a save while it is shown.
// 3. The reports of that journal: for the compact and the expanded tests 2/3 report of
//    every row, the time from the operator's OK to the first page on screen in the preview,
//    the memory added by then and after jumps to the last and the middle page; for ten days (10,000 rows)
//    of each, the time to print them to PDF and the longest the event loop went unserved.
// 4. Every row of that journal selected (Ctrl+A) in the tests 2/3 browser: the report of
//    "Все записи" and of "Выделенные", from the operator's OK to the report's rows handed to
//    the preview, the longest the event loop went unserved and the memory added; then the
//    deletion of them all (on a copy of the journal, put back afterwards): its time and
//    longest stall.
// 5. One key in the browser's grid (the space bar, a letter that matches nothing): the time
//    until it is handled and the pages it read.
// Times are medians of several runs where a run can be repeated, in milliseconds.
#include "journal/BlockNumTable.h"
#include "journal/JournalModel.h"
#include "journal/ResultReports.h"
#include "journal/TFDB23.h"
#include "journal/TFSelectDlg.h"
#include "journal/TForm2.h"
#include "journal/TfBlockNum.h"
#include "journal/report/ReportPreview.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "runs/JournalWriters.h"
#include "state/Options.h"
#include "state/UVesk.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double RssMiB() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Counts the paints of a widget, so that a measurement ends when the screen shows the result.
class TPaintWatch : public QObject {
public:
    explicit TPaintWatch(QWidget* w) { w->installEventFilter(this); }
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++Paints;
        return false;
    }
};

// Runs the window's events until the watched widget has painted again; returns the ms taken.
double UntilPainted(TPaintWatch& watch, const std::function<void()>& act) {
    QElapsedTimer t;
    t.start();
    const int before = watch.Paints;
    act();
    while (watch.Paints == before && t.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return t.nsecsElapsed() / 1e6;
}

void FillJournal(const QString& folder, int rows) {
    TTable table(folder, Test23FileName, Test23Fields());
    table.OpenOrCreate();
    table.Database().transaction();
    QDateTime moment(QDate(2023, 1, 1), QTime(0, 0, 0));
    for (int i = 0; i < rows; ++i) {
        moment = moment.addMSecs(86'400'000 / 1000);
        table.Append({moment.date(), moment.time(), "Тест 2", "От ВЕСК", "6093", "1234",
                      QString("%1").arg(i % 5000, 7, 10, QChar('0')), "Норма", "0000000", "35", "40", "45",
                      "0", "00", "0", "00", "00000", "01010", "10100"});
    }
    table.Database().commit();
}

QStringList Blocks(int seed) {
    QStringList b;
    for (int i = 0; i < 8; ++i)
        b.append(QString("%1").arg(qint64(seed) * 10 + i, 16, 10, QChar('0')));
    return b;
}

void FillBlockNums(const QString& folder, int rows) {
    TTable table(folder, BlockNumFileName, TBlockNumTable::Fields(), TBlockNumTable::KeyFields());
    table.OpenOrCreate();
    table.Database().transaction();
    const QDateTime at(QDate(2024, 5, 1), QTime(8, 0));
    for (int i = 0; i < rows; ++i) {
        TRow r{QString("%1").arg(1000000 + i % 20000)};
        for (const QString& b : Blocks(i))
            r.append(b);
        r << at.date() << at.time() << KindFromDevice << at.date() << at.time();
        table.Append(r);
    }
    table.Database().commit();
}

// A report of the tests 2/3 journal as the browser makes it: every row, or ten days.
std::unique_ptr<TResultReport> MakeReport(TResultJournal& journal, bool expanded) {
    TReportData data;
    for (const TFieldDef& f : journal.Table().Fields())
        data.Columns.append(f.Name);
    data.Source = journal.ReportRows();
    if (expanded)
        return std::make_unique<TFReportR2>(nullptr, std::move(data));
    return std::make_unique<TFReport23>(nullptr, std::move(data));
}

void ReportFigures(const QString& folder, int rows) {
    std::printf("tests 2/3 reports, %d rows:\n", rows);
    for (bool expanded : {false, true}) {
        const char* name = expanded ? "expanded" : "compact ";
        TResultJournal journal(TJournalKind::RadioTest, folder);
        journal.Open();
        const double rssBefore = RssMiB();
        QElapsedTimer t;
        t.start();
        auto report = MakeReport(journal, expanded);
        double firstPage = 0, lastPage = 0, middlePage = 0, rssFirst = 0;
        {
            TReportPreview preview(*report->QuickRep1);
            TPaintWatch watch(preview.View);
            firstPage = UntilPainted(watch, [&] { preview.show(); });
            firstPage = t.nsecsElapsed() / 1e6;
            rssFirst = RssMiB();
            lastPage = UntilPainted(watch, [&] { preview.bLast->click(); });
            // A page typed in the middle: its rows are the farthest from either end.
            middlePage = UntilPainted(watch, [&] { preview.ShowPage(report->QuickRep1->PageCount() / 2); });
        }
        const double rssLast = RssMiB();
        std::printf("  %s: first page shown %7.1f ms (%d pages); last page %5.1f ms, middle page %5.1f ms; "
                    "memory +%.1f MiB at "
                    "the first page, +%.1f MiB after the last\n",
                    name, firstPage, report->QuickRep1->PageCount(), lastPage, middlePage,
                    rssFirst - rssBefore, rssLast - rssBefore);
    }
    for (bool expanded : {false, true}) {
        const char* name = expanded ? "expanded" : "compact ";
        TResultJournal journal(TJournalKind::RadioTest, folder);
        journal.Open();
        journal.FilterFlags = FilterDates;
        journal.DateFrom = QDateTime(QDate(2023, 1, 20), QTime(0, 0));
        journal.DateTo = QDateTime(QDate(2023, 1, 29), QTime(0, 0));
        auto report = MakeReport(journal, expanded);
        const int printed = journal.ReportRows()->Count();
        TReportPreview preview(*report->QuickRep1);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageLayout(report->QuickRep1->PageLayout);
        printer.setOutputFileName(dir.filePath("report.pdf"));
        // A timer due every 5 ms: the longest gap between its runs is the longest stall.
        const double rssBefore = RssMiB();
        QElapsedTimer since;
        double stall = 0, stallAt = 0;
        QElapsedTimer t;
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (since.nsecsElapsed() / 1e6 > stall) {
                stall = since.nsecsElapsed() / 1e6;
                stallAt = t.nsecsElapsed() / 1e6;
            }
            since.restart();
        });
        t.start();
        since.start();
        tick.start();
        const bool done = preview.PrintTo(printer);
        const double ms = t.nsecsElapsed() / 1e6;
        tick.stop();
        std::printf("  %s: %d rows (%d pages) printed to PDF in %7.1f ms%s, %.1f MiB file; longest stall "
                    "%.1f ms (ending %.0f ms in); memory +%.1f MiB\n",
                    name, printed, report->QuickRep1->PageCount(), ms, done ? "" : " (stopped)",
                    QFileInfo(dir.filePath("report.pdf")).size() / 1048576.0, stall, stallAt,
                    RssMiB() - rssBefore);
    }
}

// The longest the event loop went unserved while it runs: a timer due every 5 ms.
class TStallWatch {
public:
    TStallWatch() {
        tick_.setInterval(5);
        QObject::connect(&tick_, &QTimer::timeout, [this] { Mark(); });
    }
    void Start() {
        longest_ = 0;
        since_.start();
        tick_.start();
    }
    double Stop() {
        Mark();
        tick_.stop();
        return longest_;
    }

private:
    void Mark() {
        longest_ = std::max(longest_, since_.nsecsElapsed() / 1e6);
        since_.restart();
    }
    QTimer tick_;
    QElapsedTimer since_;
    double longest_ = 0;
};

void SelectionFigures(const QString& folder, int rows) {
    std::printf("tests 2/3 browser, every row selected (Ctrl+A), of a journal of %d rows:\n", rows);
    for (int include : {0, 1}) {
        TFDB23 w;
        w.resize(1000, 600);
        w.show();
        QCoreApplication::processEvents();
        w.DBGrid1->selectAll();
        const double rssBefore = RssMiB();
        double ms = 0, rss = 0;
        int printed = -1;
        QElapsedTimer okAt;
        TStallWatch stall;
        SetReportPreviewHook([&](TReport& r) {
            ms = okAt.nsecsElapsed() / 1e6;
            printed = r.Data.RowCount();
            rss = RssMiB();
        });
        QTimer::singleShot(0, [&] {
            Form2->RadioGroup1->SetItemIndex(include);
            Form2->RadioGroup2->SetItemIndex(0);
            okAt.start();
            stall.Start();
            Form2->bOK->click();
        });
        w.BitBtn1Click();
        const double longest = stall.Stop();
        SetReportPreviewHook(nullptr);
        std::printf("  report of %s: %d rows reach the preview %9.1f ms after OK; longest stall %9.1f ms; "
                    "memory +%.1f MiB\n",
                    include == 0 ? "\"Все записи\"" : "\"Выделенные\"", printed, ms, longest,
                    rss - rssBefore);
    }
    // The deletion empties the journal: it runs on a copy, and the journal is put back.
    const QString journal = folder + Test23FileName;
    const QString kept = journal + ".bench";
    QFile::remove(kept);
    if (!QFile::copy(journal, kept)) {
        std::printf("  delete: no room for a copy of the journal\n");
        return;
    }
    {
        TFDB23 w;
        w.resize(1000, 600);
        w.show();
        QCoreApplication::processEvents();
        const int before = w.DataSource1->rowCount();
        w.DBGrid1->selectAll();
        TStallWatch stall;
        QElapsedTimer t;
        t.start();
        stall.Start();
        w.bDelSelectedClick();
        const double ms = t.nsecsElapsed() / 1e6;
        const double longest = stall.Stop();
        std::printf("  delete every row: %9.1f ms (%d rows gone); longest stall %9.1f ms\n", ms,
                    before - w.DataSource1->rowCount(), longest);
    }
    QFile::remove(journal);
    QFile::rename(kept, journal);
}

// One key pressed in the focused grid of the tests 2/3 browser: the time until it is handled and
// the pages the grid's reader read for it. The space bar selects; "я" matches no value.
void KeyFigures(int rows) {
    std::printf("tests 2/3 browser, %d rows, one key in the grid:\n", rows);
    TFDB23 w;
    w.resize(1000, 600);
    w.show();
    w.activateWindow();
    w.DBGrid1->setFocus();
    QCoreApplication::processEvents();
    for (const auto& [key, text] : {std::pair{int(Qt::Key_Space), QString(" ")}, {0x42F, QString("я")}}) {
        const int before = w.Table1.Rows().Queries();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QElapsedTimer t;
        t.start();
        QApplication::sendEvent(w.DBGrid1, &press);
        std::printf("  \"%s\": handled in %10.1f ms, %d pages read\n",
                    qPrintable(text.trimmed().isEmpty() ? "Space" : text), t.nsecsElapsed() / 1e6,
                    w.Table1.Rows().Queries() - before);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir temp;
    const QString home = argc > 3 ? QString::fromLocal8Bit(argv[3]) : temp.path();
    qputenv("VESK_PROGRAM_DIR", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (temp.path() + "/config").toUtf8());
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = args.size() > 1 ? args[1].toInt() : 1'000'000;
    const int blockRows = args.size() > 2 ? args[2].toInt() : 100'000;
    const bool selectionOnly = args.value(4) == QStringLiteral("selection");
    const bool keysOnly = args.value(4) == QStringLiteral("keys");
    const QString folder = JournalFolder();
    SetStartupDefaults();
    SetDialogHook([](const TDialogRecord&, QWidget*) { return int(mrYes); });

    QElapsedTimer fill;
    fill.start();
    if (!QFile::exists(folder + Test23FileName))
        FillJournal(folder, rows);
    std::printf("journal: %d rows in %s (filled in %.1f s)\n", rows, qPrintable(folder),
                fill.elapsed() / 1000.0);

    Form2 = new TForm2;
    FSelectDlg = new TFSelectDlg;
    if (keysOnly) {
        KeyFigures(rows);
        delete FSelectDlg;
        delete Form2;
        return 0;
    }
    if (selectionOnly) {
        SelectionFigures(folder, rows);
        delete FSelectDlg;
        delete Form2;
        return 0;
    }
    const double rssBefore = RssMiB();
    std::vector<double> firstPaint, toEnd, filter;
    int filtered = 0;
    // Ten days from two fifths into the journal.
    const QDate from = QDate(2023, 1, 1).addDays(rows / 1000 * 2 / 5);
    for (int run = 0; run < 3; ++run) {
        TFDB23 w;
        w.resize(1000, 600);
        TPaintWatch watch(w.DBGrid1->viewport());
        firstPaint.push_back(UntilPainted(watch, [&] { w.show(); }));
        toEnd.push_back(UntilPainted(watch, [&] { w.NavigatorClick(TNavButton::Last); }));
        // From the operator's OK to the filtered rows on screen.
        QElapsedTimer okAt;
        QTimer::singleShot(0, [from, &okAt] {
            FSelectDlg->CheckBox1->setChecked(false);
            FSelectDlg->CheckBox2->setChecked(true);
            FSelectDlg->DTP1->setDate(from);
            FSelectDlg->DTP2->setDate(from.addDays(9));
            okAt.start();
            FSelectDlg->BitBtn1->click();
        });
        UntilPainted(watch, [&] { w.BitBtn2Click(); });
        filter.push_back(okAt.nsecsElapsed() / 1e6);
        filtered = w.DataSource1->rowCount();
        w.hide();
    }
    const double rssShown = RssMiB();

    double deleteMs = 0;
    int left = 0;
    {
        TFDB23 w;
        w.show();
        QCoreApplication::processEvents();
        const int before = w.DataSource1->rowCount();
        w.DBGrid1->selectionModel()->select(
            QItemSelection(w.DataSource1->index(5000, 0), w.DataSource1->index(5999, 0)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QElapsedTimer t;
        t.start();
        w.bDelSelectedClick();
        deleteMs = t.nsecsElapsed() / 1e6;
        left = before - w.DataSource1->rowCount();
    }

    std::printf("tests 2/3 browser, %d rows:\n", rows);
    std::printf("  first paint after show:          median %7.1f ms (runs: %.1f %.1f %.1f)\n",
                Median(firstPaint), firstPaint[0], firstPaint[1], firstPaint[2]);
    std::printf("  last row shown (navigator Last): median %7.1f ms\n", Median(toEnd));
    std::printf("  ten-day date filter (%d rows):   median %7.1f ms\n", filtered, Median(filter));
    std::printf("  delete 1,000 selected rows:             %7.1f ms (%d rows gone)\n", deleteMs, left);
    std::printf("  memory: %.1f MiB before, %.1f MiB after three shows (+%.1f MiB)\n", rssBefore, rssShown,
                rssShown - rssBefore);

    KeyFigures(rows);
    ReportFigures(folder, rows);
    SelectionFigures(folder, rows);

    // The factory numbers.
    fill.restart();
    QFile::remove(folder + BlockNumFileName);
    FillBlockNums(folder, blockRows);
    std::printf("factory numbers: %d rows (filled in %.1f s)\n", blockRows, fill.elapsed() / 1000.0);
    std::vector<double> create, saveKnown, saveNew, saveShown;
    double paint = 0;
    TfBlockNum* w = nullptr;
    for (int run = 0; run < 3; ++run) {
        delete w;
        QElapsedTimer t;
        t.start();
        w = new TfBlockNum;
        create.push_back(t.nsecsElapsed() / 1e6);
    }
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer t;
        t.start();
        SaveBlockNums(QString::number(1000000 + i), KindFromDevice, QDateTime::currentDateTime(), Blocks(i));
        saveKnown.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        SaveBlockNums(QString::number(1000000 + i), KindFromDevice, QDateTime::currentDateTime(),
                      Blocks(blockRows + i));
        saveNew.push_back(t.nsecsElapsed() / 1e6);
    }
    {
        TPaintWatch watch(w->DBGrid1->viewport());
        w->resize(1000, 600);
        paint = UntilPainted(watch, [&] { w->show(); });
        for (int i = 0; i < 9; ++i)
            saveShown.push_back(UntilPainted(watch, [&] {
                SaveBlockNums(QString::number(1000000 + i), KindFromDevice, QDateTime::currentDateTime(),
                              Blocks(2 * blockRows + i));
            }));
    }
    delete w;
    std::printf("  window created at start-up:           median %7.2f ms\n", Median(create));
    std::printf("  save, window hidden, a known set:     median %7.2f ms\n", Median(saveKnown));
    std::printf("  save, window hidden, a new set:       median %7.2f ms\n", Median(saveNew));
    std::printf("  window shown, first paint:                   %7.2f ms\n", paint);
    std::printf("  save with the window shown, repainted: median %7.2f ms\n", Median(saveShown));
    delete FSelectDlg;
    delete Form2;
    return 0;
}
