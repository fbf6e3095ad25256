#pragma once
// Database aliases: named folders that hold the journal tables, kept in an INI file in
// the user's config folder ($XDG_CONFIG_HOME/vesk/aliases.ini).

#include <QString>

/// Path of the alias file.
QString AliasConfigPath();
/// Folder of an alias (as stored, with its trailing '/'); empty when the alias does not
/// exist or its PATH line is missing or malformed.
QString AliasPath(const QString& alias);
bool AliasExists(const QString& alias);
/// Creates or rewrites an alias with its driver and folder and saves the file (through a
/// file of its own renamed over the old one). Raises EVeskError, the file untouched, when
/// it cannot be read or written. Lines that are no part of an alias file are left out of
/// the new file, the old one kept beside it as "aliases.ini.bad"; the result then tells
/// the operator so (empty otherwise).
QString SetAlias(const QString& alias, const QString& driver, const QString& path);
