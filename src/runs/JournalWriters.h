#pragma once
// The two result tables of the journal and their writers: "tests1.DB" (device self-tests
// and parameter sends) and "Test23.DB" (tests 2 and 3 of a locomotive radio station).
// The column lists here are the one definition of both formats; the browsers and
// reports read the same columns.

#include "link/Frame.h"
#include "platform/Table.h"

#include <QString>

inline constexpr const char* Tests1FileName = "tests1.DB";
inline constexpr const char* Test23FileName = "Test23.DB";

/// Columns of "tests1.DB", in order.
QList<TFieldDef> Tests1Fields();
/// Columns of "Test23.DB", in order.
QList<TFieldDef> Test23Fields();

/// Outcome of one journal write; Error says why in Russian when Ok is false.
struct TJournalWrite {
    bool Ok = false;
    QString Error;
};

/// Appends one "tests1.DB" row from the shared state at this moment (one reading of the
/// clock for both the date and the time). The table is created when its file does not
/// exist; an existing file is never re-created. Never raises.
TJournalWrite AppendTests1Row(const QString& folder, const QString& event, const QString& code,
                              const QString& word);
/// Appends one "Test23.DB" row likewise. The numbers, deviations and tone flags come from
/// the result's own context when one is given, else from the shared state. Does not
/// touch the tone flags.
TJournalWrite AppendTest23Row(const QString& folder, const QString& event, const QString& code,
                              const QString& word, const QString& direction,
                              const TResultContext* result = nullptr);

/// Names in the log at once the result (event and code; the code may be empty) whose row
/// the given table refused, and tells the operator which it was and why.
void ReportJournalFailure(const QString& fileName, const TJournalWrite& write, const QString& event,
                          const QString& code);

/// Kinds of failure told through TellOperatorLater, each in a dialog of its own.
enum class TNotice { LostResults, JournalRow, BlockNums, Attenuation };
/// Tells the operator of a failure met while results are handled without holding them
/// up: the dialog is shown once no test wait is in progress, and failures that come
/// while the operator reads a dialog are named together in one more, one dialog a kind.
/// LostResults: "Тест 2 код 0000000"; JournalRow: as ReportJournalFailure gathers it;
/// BlockNums and Attenuation: the reason.
void TellOperatorLater(TNotice kind, const QString& item);
/// A dialog of failures waits for the wait in progress to end: the station's next result
/// is handled once the dialog is open (its event loop runs the waits), so that results
/// handled back to back never keep the operator from being told.
bool NoticeDue();
/// Takes the texts of the failures not shown yet (for the log when the program ends).
QStringList TakeUntoldNotices();

/// At the end of the run: journals every result still waiting in the queue and the
/// backlog (with its factory numbers) in one go a table, and names in the log the results
/// that could not be written and the failures not yet told. Returns how many were written.
int JournalWaitingResults(const QString& folder);
