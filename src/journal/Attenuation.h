#pragma once
// The per-locomotive attenuation corrections table "РВ.db": opened when the editor
// window is created, kept open for the run, searched by the event decoder.

#include "platform/Table.h"

#include <QString>
#include <optional>

/// Corrections of one locomotive, as stored (any 16-bit value).
struct TAttenuation {
    int Mv = 0;
    int Gmv = 0;
};

/// Field list of "РВ.db": Lokomotiv (7 characters, the primary key), OslablenieM,
/// OslablenieG.
QList<TFieldDef> AttenuationFields();
inline constexpr const char* AttenuationFileName = "РВ.db";

/// Opens "РВ.db" in the journal folder, creating it when it does not exist. Raises
/// EVeskError with the reason when it can neither be opened nor created; the table then
/// stays closed for the run.
void OpenAttenuationTable();
/// Closes the table. Raises EVeskError when closing fails.
void CloseAttenuationTable();
/// The open table, or nullptr when it is not open.
TTable* AttenuationTable();
/// Corrections of the locomotive with exactly this 7-character number; none when no row
/// holds it or the table is not open.
std::optional<TAttenuation> FindAttenuation(const QString& loco);
