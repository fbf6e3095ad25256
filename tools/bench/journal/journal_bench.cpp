// Journal benchmark: the cost of appending one durable row (synchronous=FULL) to the
// tests 2/3 journal, and of reading one day's rows out of a 100,000-row journal.
//
//   journal_bench [folder] [rows]
//
// folder: where the journal files are made (a fresh temporary folder by default; give a
// folder on the disk the station uses to measure its fsync). rows: journal size (100000).
#include "platform/Clock.h"
#include "runs/JournalWriters.h"
#include "runs/TestState.h"
#include "state/UVesk.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

// A clock that the benchmark moves: one journal day holds rowsPerDay rows.
class TBenchClock : public TClock {
public:
    QDateTime Now() const override { return now_; }
    QDateTime now_{QDate(2025, 1, 1), QTime(8, 0, 0)};
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir temp;
    const QString folder = (args.size() > 1 ? args[1] : temp.path()) + "/";
    const int total = args.size() > 2 ? args[2].toInt() : 100000;
    QDir().mkpath(folder);
    QFile::remove(folder + Test23FileName);

    SetStartupDefaults();
    TBenchClock clock;
    SetClock(&clock);

    // 1. The writer as the test runner calls it: open, append one row, close.
    std::vector<double> writer;
    for (int i = 0; i < 200; ++i) {
        clock.now_ = clock.now_.addSecs(60);
        QElapsedTimer t;
        t.start();
        const TJournalWrite w = AppendTest23Row(folder, "Тест 2", "0000000", "Норма", "От ВЕСК");
        writer.push_back(Ms(t));
        if (!w.Ok) {
            std::fprintf(stderr, "append failed: %s\n", qPrintable(w.Error));
            return 1;
        }
    }

    // 2. Append alone, on a table kept open (each row its own durable transaction).
    TTable table(folder, Test23FileName, Test23Fields());
    table.Open();
    std::vector<double> append;
    for (int i = 0; i < 200; ++i) {
        clock.now_ = clock.now_.addSecs(60);
        const TRow row{clock.now_.date(), clock.now_.time(), "Тест 3", "От РВ", "", "1234", "1234567", "Брак",
                       "1000000"};
        QElapsedTimer t;
        t.start();
        table.Append(row);
        append.push_back(Ms(t));
    }

    // 3. Fill the journal to its size, 400 rows a day, in one transaction.
    const int rowsPerDay = 400;
    table.Database().transaction();
    QDateTime moment(QDate(2024, 1, 1), QTime(0, 0, 0));
    for (int i = 400; i < total; ++i) {
        moment = moment.addSecs(86400 / rowsPerDay);
        table.Append(
            {moment.date(), moment.time(), "Тест 2", "От ВЕСК", "", "1234", "1234567", "Норма", "0000000"});
    }
    table.Database().commit();

    // 4. One day's rows, as a browser filter asks for them (no index: the tables have none).
    std::vector<double> query;
    std::vector<double> perRow;
    int lastCount = 0;
    for (int d = 0; d < 60; ++d) {
        const QDate day = QDate(2024, 1, 1).addDays(d * 3 + 1);
        QElapsedTimer t;
        t.start();
        const QList<TRow> rows =
            table.Select("SELECT * FROM \"Test23\" WHERE \"Date\" = ? ORDER BY rowid", {day});
        const double ms = Ms(t);
        query.push_back(ms);
        lastCount = int(rows.size());
        if (!rows.isEmpty())
            perRow.push_back(ms / rows.size());
    }
    table.Close();

    std::printf("journal folder: %s\n", qPrintable(folder));
    std::printf("append one row, writer (open + append + close, synchronous=FULL): median %.3f ms\n",
                Median(writer));
    std::printf("append one row, open table (synchronous=FULL):                   median %.3f ms\n",
                Median(append));
    std::printf(
        "read one day (%d rows) out of %d rows:                      median %.3f ms per query, %.4f ms "
        "per row\n",
        lastCount, total, Median(query), Median(perRow));
    SetClock(nullptr);
    return 0;
}
