#include "runs/JournalWriters.h"

#include "journal/Attenuation.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "runs/ResultRender.h"
#include "runs/TestRun.h"
#include "runs/TestState.h"
#include "state/UVesk.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <utility>

Q_LOGGING_CATEGORY(lcJournal, "vesk.journal")

namespace {

TFieldDef Str(const char* name, int size) {
    return {QString::fromLatin1(name), TFieldType::String, size};
}

TJournalWrite Append(const QString& folder, const char* fileName, const QList<TFieldDef>& fields,
                     const TRow& row) {
    try {
        TTable table(folder, QString::fromLatin1(fileName), fields);
        table.OpenOrCreate();
        table.Append(row); // the table cuts each text to its column
        table.Close();
        return {true, {}};
    } catch (const std::exception& e) {
        return {false, ExceptionText(e)}; // the caller names the result in the log
    }
}

// Appends the rows in one transaction: all of them or none.
TJournalWrite AppendAll(const QString& folder, const char* fileName, const QList<TFieldDef>& fields,
                        const QList<TRow>& rows) {
    if (rows.isEmpty())
        return {true, {}};
    try {
        TTable table(folder, QString::fromLatin1(fileName), fields);
        table.OpenOrCreate();
        {
            QSqlDatabase db = table.Database(); // let go before the table closes
            if (!db.transaction())
                throw EVeskError(SqlErrorReason(db.lastError(), table.FilePath(), true));
            try {
                for (const TRow& row : rows)
                    table.Append(row);
                if (!db.commit())
                    throw EVeskError(SqlErrorReason(db.lastError(), table.FilePath(), true));
            } catch (...) {
                db.rollback();
                throw;
            }
        }
        table.Close();
        return {true, {}};
    } catch (const std::exception& e) {
        qCWarning(lcJournal) << rows.size() << "rows not saved in" << fileName << ExceptionText(e);
        return {false, ExceptionText(e)};
    }
}

} // namespace

QList<TFieldDef> Tests1Fields() {
    return {
        {"Date", TFieldType::Date}, {"Time", TFieldType::Time}, Str("Event", 10),   Str("Mehanik", 13),
        Str("ResultWord", 20),      Str("ResultCod", 7),        Str("ToolWord", 8), Str("PrmMv1", 3),
        Str("PrdMv1", 3),           Str("PrmMv2", 3),           Str("PrdMv2", 3),   Str("PrmMv3", 3),
        Str("PrdMv3", 3),           Str("DeviacD", 2),          Str("DeviacM", 2),  Str("DeviacG", 2),
        Str("Deviacd2", 2),         Str("DeviacM2", 2),         Str("DeviacG2", 2), Str("Osl_mw", 2),
        Str("osl_gmw", 2),          Str("reserv", 4),
    };
}

QList<TFieldDef> Test23Fields() {
    return {
        {"Date", TFieldType::Date},
        {"Time", TFieldType::Time},
        Str("Event", 7),
        Str("Direction", 7),
        Str("Mehanik", 13),
        Str("Train", 4),
        Str("Loko", 8),
        Str("ResultWord", 5),
        Str("ResultCod", 7),
        Str("DeviacD", 2),
        Str("DeviacM", 2),
        Str("DeviacG", 2),
        Str("Sens_mw_itog", 10),
        Str("Sens_mw_osl", 2),
        Str("Sens_gmw_itog", 10),
        Str("Sens_gmw_osl", 2),
        Str("MesD", 5),
        Str("MesG", 5),
        Str("MesM", 5),
    };
}

namespace {

// A "tests1.DB" row from the shared state at this moment (one reading of the clock for
// both the date and the time).
TRow Tests1Row(const QString& event, const QString& code, const QString& word) {
    const QDateTime now = Clock().Now(); // one reading: date and time of the same moment
    return {
        now.date(),
        now.time(),
        event,
        MechanicNumber,
        word,
        code,
        ConfigWord,
        MvChannels[1].Prm,
        MvChannels[1].Prd,
        MvChannels[2].Prm,
        MvChannels[2].Prd,
        MvChannels[3].Prm,
        MvChannels[3].Prd,
        Thresholds[0],
        Thresholds[1],
        Thresholds[2],
        Thresholds[3],
        Thresholds[4],
        Thresholds[5],
        ParamBlock2[1],
        ParamBlock2[2],
        VswrPacked,
    };
}

TRow Test23Row(const QString& event, const QString& code, const QString& word, const QString& direction,
               const TResultContext* result) {
    const TResultContext now = result ? TResultContext() : SessionContext();
    if (!result)
        result = &now;
    const QDateTime moment = Clock().Now();
    return {
        moment.date(),
        moment.time(),
        event,
        direction,
        MechanicNumber,
        result->Train,
        result->Loco,
        word,
        code,
        result->Deviation[0],
        result->Deviation[1],
        result->Deviation[2],
        FlagText(SensMv.Flag),
        SensMv.Osl,
        FlagText(SensGmv.Flag),
        SensGmv.Osl,
        result->ToneD,
        result->ToneG,
        result->ToneM,
    };
}

} // namespace

TJournalWrite AppendTests1Row(const QString& folder, const QString& event, const QString& code,
                              const QString& word) {
    return Append(folder, Tests1FileName, Tests1Fields(), Tests1Row(event, code, word));
}

TJournalWrite AppendTest23Row(const QString& folder, const QString& event, const QString& code,
                              const QString& word, const QString& direction, const TResultContext* result) {
    return Append(folder, Test23FileName, Test23Fields(), Test23Row(event, code, word, direction, result));
}

namespace {

constexpr int MaxListed = 10;
// A dialog lists every result it names (a long list scrolls); a station out of step may
// report without end, and beyond this many the log alone names them.
constexpr int MaxResultsListed = 1000;

// A journal row not saved, as gathered: the table, the result and the reason.
constexpr QChar Apart = u'\x1f';

QString ResultsWord(qsizetype n) {
    const qsizetype tens = n % 100, ones = n % 10;
    if (ones == 1 && tens != 11)
        return QStringLiteral("результат");
    if (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14))
        return QStringLiteral("результата");
    return QStringLiteral("результатов");
}

// The rows not saved: one alone as it is; more as the results of each table and reason
// under that reason, every result on a line of its own.
QString ComposeRows(const QStringList& items) {
    struct TGroup {
        QString File, Reason;
        QStringList Results;
    };
    QList<TGroup> groups;
    for (const QString& item : items) {
        const QStringList parts = item.split(Apart);
        const QString file = parts.value(0), result = parts.value(1), reason = parts.value(2);
        if (items.size() == 1)
            return (result.isEmpty() ? QStringLiteral("Результат не сохранён в журнале «%1».\n%3")
                                     : QStringLiteral("Результат (%2) не сохранён в журнале «%1».\n%3"))
                .arg(file, result, reason);
        auto g = std::find_if(groups.begin(), groups.end(),
                              [&](const TGroup& x) { return x.File == file && x.Reason == reason; });
        if (g == groups.end())
            g = groups.insert(groups.end(), {file, reason, {}});
        g->Results.append(result.isEmpty() ? QStringLiteral("без кода") : result);
    }
    QString message =
        QStringLiteral("Не сохранены в журнале %1 %2:").arg(items.size()).arg(ResultsWord(items.size()));
    qsizetype listed = 0;
    for (const TGroup& g : groups) {
        const QStringList shown = g.Results.mid(0, std::max<qsizetype>(0, MaxResultsListed - listed));
        listed += shown.size();
        message += QStringLiteral("\n\nЖурнал «%1»: %2\n\n").arg(g.File, g.Reason) + shown.join(u'\n');
        if (shown.size() < g.Results.size())
            message += QStringLiteral("\n… и ещё %1 (названы в журнале работы программы)")
                           .arg(g.Results.size() - shown.size());
    }
    return message;
}

// What the operator is told of each kind of failure, from the items gathered while no
// dialog of it could be shown.
QString Compose(TNotice kind, const QStringList& items) {
    switch (kind) {
    case TNotice::JournalRow:
        return ComposeRows(items);
    case TNotice::BlockNums: {
        // A full disk fails every set alike: each reason is named once.
        QStringList reasons;
        for (const QString& item : items)
            if (!reasons.contains(item))
                reasons.append(item);
        QString message = QStringLiteral("Ошибка при записи заводских номеров");
        if (items.size() > 1)
            message += QStringLiteral(" (не записано наборов: %1)").arg(items.size());
        message += QStringLiteral(": ") + reasons.mid(0, MaxListed).join(u'\n');
        if (reasons.size() > MaxListed)
            message += QStringLiteral("\n… и ещё причин: %1").arg(reasons.size() - MaxListed);
        return message;
    }
    case TNotice::Attenuation:
        return QStringLiteral("Таблица %1 не открыта: станция получает нулевые коррекции ослабления.\n%2")
            .arg(QString::fromUtf8(AttenuationFileName), items.join(u'\n'));
    case TNotice::LostResults: {
        QString list = items.mid(0, MaxResultsListed).join(QStringLiteral(", "));
        if (items.size() > MaxResultsListed)
            list += QStringLiteral(" и ещё %1 (названы в журнале работы программы)")
                        .arg(items.size() - MaxResultsListed);
        return QStringLiteral("Станция сообщила результаты, которые программа не смогла принять (их пришло "
                              "слишком много подряд или они пришли, когда шёл другой тест). "
                              "Не записаны в журнал (%1):\n%2")
            .arg(items.size())
            .arg(list);
    }
    }
    return items.join(u'\n');
}

constexpr TNotice Kinds[] = {TNotice::LostResults, TNotice::JournalRow, TNotice::BlockNums,
                             TNotice::Attenuation};

QStringList gathered[std::size(Kinds)]; // items that wait for the operator, by kind
bool noticeShown = false;               // a dialog of them is open or on its way
bool noticeDue = false;                 // on its way: asked for and not open yet

QStringList& Gathered(TNotice kind) {
    return gathered[int(kind)];
}

// A dialog runs the event loop, so the station's next results are handled while the
// operator reads it; failures met meanwhile are named together once it is closed, not
// in a dialog each, and never in a dialog over another.
void ShowGathered() {
    // A dialog inside a wait would hold it, and the results behind it; one during start-up
    // would cover the start-up's own.
    if (TestWaitRunning() || StartingUp()) {
        QTimer::singleShot(100, QCoreApplication::instance(), ShowGathered);
        return;
    }
    noticeDue = false;
    for (bool any = true; any;) {
        any = false;
        for (TNotice kind : Kinds) {
            if (Gathered(kind).isEmpty())
                continue;
            any = true;
            ShowError(Compose(kind, std::exchange(Gathered(kind), {})));
        }
    }
    noticeShown = false;
}

} // namespace

void TellOperatorLater(TNotice kind, const QString& item) {
    Gathered(kind).append(item);
    if (noticeShown || !QCoreApplication::instance())
        return;
    noticeShown = true;
    noticeDue = true;
    // Shown once the wait in progress has ended.
    QTimer::singleShot(0, QCoreApplication::instance(), ShowGathered);
}

bool NoticeDue() {
    return noticeDue;
}

QStringList TakeUntoldNotices() {
    noticeDue = false; // nothing is left to show
    QStringList untold;
    for (TNotice kind : Kinds)
        if (!Gathered(kind).isEmpty())
            untold.append(Compose(kind, std::exchange(Gathered(kind), {})));
    return untold;
}

void ReportJournalFailure(const QString& fileName, const TJournalWrite& write, const QString& event,
                          const QString& code) {
    if (write.Ok)
        return;
    // Named in the log at once: a dialog may never be read (the run ends while it is open).
    const QString logged = code.isEmpty() ? event : event + QStringLiteral(" код ") + code;
    qCWarning(lcJournal).noquote() << "result not journalled:" << logged << "-" << write.Error;
    const QString shown = code.isEmpty() ? event : event + QStringLiteral(", код ") + code;
    TellOperatorLater(TNotice::JournalRow, fileName + Apart + shown + Apart + write.Error);
}

int JournalWaitingResults(const QString& folder) {
    struct TWaiting {
        TFrame Frame;
        TResultContext Context;
    };
    QList<TWaiting> waiting;
    for (int i = 0; i < std::clamp(ResultCount, 0, ResultQueueSize); ++i)
        if (ResultQueue[i].State == 2)
            waiting.append({ResultQueue[i], ResultContexts[i]});
    for (const TPendingResult& p : ResultBacklog)
        waiting.append({p.Frame, p.Context});
    ResultCount = 0;
    ResultBacklog.clear();

    QList<TRow> rows1, rows23;
    QStringList names1, names23;
    QSet<QStringList> savedSets;
    for (const TWaiting& w : waiting) {
        const int test = w.Frame.Nibbles[7];
        if (w.Frame.Code != 0xE2 || w.Frame.Count != 8 || test < 1 || test > 3)
            continue;
        const QString code = ResultCodeOf(w.Frame);
        const QString event = QStringLiteral("Тест %1").arg(test);
        if (test == 1) {
            rows1.append(Tests1Row(event, code, SelfTestNorma(code) ? "Норма" : "Брак"));
            names1.append(event + QStringLiteral(" код ") + code);
        } else {
            // A set saved again now changes nothing: each is saved once.
            const QStringList set = QStringList{w.Context.Loco} + BlockNumStrings(w.Context.BlockNums);
            if (set.size() > 1 && !savedSets.contains(set)) {
                savedSets.insert(set);
                FlushBlockNumDigits(w.Context);
            }
            // Each result keeps the direction it came with: an answer to a test started from
            // the PC that its wait had no time to take is still that test's.
            const QString direction = w.Context.FromPc ? QStringLiteral("От ВЕСК") : QStringLiteral("От РВ");
            rows23.append(
                Test23Row(event, code, RadioTestNorma(test, code) ? "Норма" : "Брак", direction, &w.Context));
            names23.append(event + QStringLiteral(" код ") + code);
        }
    }
    int written = 0;
    const auto write = [&](const char* fileName, const QList<TFieldDef>& fields, const QList<TRow>& rows,
                           const QStringList& names) {
        const TJournalWrite w = AppendAll(folder, fileName, fields, rows);
        if (w.Ok) {
            written += int(rows.size());
            return;
        }
        for (const QString& name : names)
            qCWarning(lcJournal).noquote() << "result not journalled:" << name << "-" << w.Error;
    };
    write(Tests1FileName, Tests1Fields(), rows1, names1);
    write(Test23FileName, Test23Fields(), rows23, names23);
    if (!waiting.isEmpty())
        qCInfo(lcJournal) << "results journalled at the end of the run:" << written << "of" << waiting.size();
    for (const QString& text : TakeUntoldNotices())
        qCWarning(lcJournal).noquote() << "not told to the operator:" << text;
    return written;
}
