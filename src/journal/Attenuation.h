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
/// EVeskError with the reason when it can neither be opened nor created; the table is then
/// tried again when it is next needed (ReopenAttenuationTable).
void OpenAttenuationTable();
/// Opens the table again when its last opening failed (a full disk at start). Raises
/// EVeskError with the reason when it still fails.
void ReopenAttenuationTable();
/// Closes the table. Raises EVeskError when closing fails.
void CloseAttenuationTable();
/// The open table, or nullptr when it is not open.
TTable* AttenuationTable();
/// Corrections of the locomotive with exactly this 7-character number; none when no row
/// holds it or the table is not open. A table that failed to open is tried again first;
/// when it still fails, the operator is told once that the device gets no corrections.
std::optional<TAttenuation> FindAttenuation(const QString& loco);
