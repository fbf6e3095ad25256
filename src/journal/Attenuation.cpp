#include "journal/Attenuation.h"

#include "platform/Errors.h"
#include "runs/JournalWriters.h"
#include "state/Options.h"

#include <QLoggingCategory>
#include <memory>

Q_LOGGING_CATEGORY(lcAttenuation, "vesk.journal.attenuation")

namespace {
std::unique_ptr<TTable> table;
bool openFailed = false;  // the last opening failed: it is tried again when next needed
bool failureTold = false; // the operator knows that the device gets no corrections
} // namespace

QList<TFieldDef> AttenuationFields() {
    return {
        {QStringLiteral("Lokomotiv"), TFieldType::String, 7, false},
        {QStringLiteral("OslablenieM"), TFieldType::SmallInt, 0, false},
        {QStringLiteral("OslablenieG"), TFieldType::SmallInt, 0, false},
    };
}

void OpenAttenuationTable() {
    // Start-up opens it once; a second opening (a window made again) starts afresh.
    table.reset();
    table = std::make_unique<TTable>(JournalFolder(), QString::fromUtf8(AttenuationFileName),
                                     AttenuationFields(), QStringList{QStringLiteral("Lokomotiv")});
    try {
        table->OpenOrCreate();
    } catch (...) {
        table.reset();
        openFailed = true;
        throw;
    }
    openFailed = false;
    failureTold = false;
}

void ReopenAttenuationTable() {
    if (table || !openFailed)
        return;
    OpenAttenuationTable();
    qCInfo(lcAttenuation) << "opened after an earlier failure";
}

void CloseAttenuationTable() {
    openFailed = false;
    if (!table)
        return;
    std::unique_ptr<TTable> closing = std::move(table);
    closing->Close();
}

TTable* AttenuationTable() {
    return table && table->Active() ? table.get() : nullptr;
}

std::optional<TAttenuation> FindAttenuation(const QString& loco) {
    try {
        ReopenAttenuationTable();
    } catch (const std::exception& e) {
        qCWarning(lcAttenuation) << "still not open:" << ExceptionText(e);
        if (!failureTold) // once, until it opens
            TellOperatorLater(TNotice::Attenuation, ExceptionText(e));
        failureTold = true;
    }
    TTable* t = AttenuationTable();
    if (!t)
        return std::nullopt;
    try {
        const std::optional<TRow> row = t->FindKey({loco});
        if (!row || row->size() < 3)
            return std::nullopt;
        return TAttenuation{row->at(1).toInt(), row->at(2).toInt()};
    } catch (const std::exception& e) {
        qCWarning(lcAttenuation) << "lookup failed:" << e.what();
        return std::nullopt;
    }
}
