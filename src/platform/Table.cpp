#include "platform/Table.h"

#include "platform/Errors.h"
#include "platform/SafeFile.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcTable, "vesk.table")

namespace {

const QString dateFormat = QStringLiteral("yyyy-MM-dd");
const QString timeFormat = QStringLiteral("HH:mm:ss.zzz");

QString Quoted(QString name) {
    return u'"' + name.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString ColumnType(TFieldType type) {
    switch (type) {
    case TFieldType::Integer:
    case TFieldType::SmallInt:
        return QStringLiteral("INTEGER");
    case TFieldType::Float:
        return QStringLiteral("REAL");
    case TFieldType::String:
    case TFieldType::Date:
    case TFieldType::Time:
    case TFieldType::Memo:
        break;
    }
    return QStringLiteral("TEXT");
}

// SQLite is given a file: URI so that "mode=rw" can forbid it to create a missing file.
QString SqliteUri(const QString& path, bool create) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
           (create ? QStringLiteral("?mode=rwc") : QStringLiteral("?mode=rw"));
}

// Dates and times given to Select and Exec as parameters compare with the stored texts.
QVariant BindValue(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().isValid() ? QVariant(v.toDate().toString(dateFormat)) : QVariant();
    if (v.typeId() == QMetaType::QTime)
        return v.toTime().isValid() ? QVariant(v.toTime().toString(timeFormat)) : QVariant();
    return v;
}

bool IsBlank(const QVariant& v) {
    return !v.isValid() || v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

QAtomicInteger<quint64> connectionCount;

// SQLite's primary result codes that tell the operator something.
enum : int {
    sqlitePerm = 3,
    sqliteBusy = 5,
    sqliteLocked = 6,
    sqliteReadOnly = 8,
    sqliteIoErr = 10,
    sqliteCorrupt = 11,
    sqliteFull = 13,
    sqliteCantOpen = 14,
    sqliteNotADb = 26,
};

// The cause seen from the file system: a folder or file the program may not use.
QString AccessCause(const QString& path, bool writing) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        return QStringLiteral("папка %1 не найдена").arg(QDir::toNativeSeparators(folder.filePath()));
    if (file.isDir())
        return QStringLiteral("на месте файла %1 находится папка").arg(QDir::toNativeSeparators(path));
    if (file.exists() && !file.isReadable())
        return QStringLiteral("нет прав на чтение файла %1").arg(QDir::toNativeSeparators(path));
    if (writing && file.exists() && !file.isWritable())
        return QStringLiteral("файл %1 открыт только для чтения (нет прав на запись)")
            .arg(QDir::toNativeSeparators(path));
    if (writing && !folder.isWritable())
        return QStringLiteral("папка %1 открыта только для чтения: нет прав на запись в неё")
            .arg(QDir::toNativeSeparators(folder.filePath()));
    return {};
}

// What stands in a table file's place when it is no regular file (a FIFO would hold the
// engine's open for ever); empty when nothing is there.
QString WhatIsThere(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return {};
    if (S_ISLNK(st.st_mode) && ::stat(native.constData(), &st) != 0)
        return QStringLiteral("ссылка на несуществующий файл");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("папка");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("именованный канал (FIFO)");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("сокет");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("устройство");
    return S_ISREG(st.st_mode) ? QString() : QStringLiteral("не обычный файл");
}

} // namespace

QString SqlErrorReason(const QSqlError& error, const QString& path, bool writing) {
    const QString native = QDir::toNativeSeparators(path);
    const QString lower = error.text().toLower();
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff; // extended codes keep the primary below
    const auto is = [&](int c, const char* text) {
        return (ok && code == c) || lower.contains(QLatin1String(text));
    };
    QString cause;
    if (is(sqliteNotADb, "not a database") || is(sqliteCorrupt, "malformed"))
        cause = QStringLiteral("файл %1 повреждён или не является файлом журнала").arg(native);
    else if (is(sqliteFull, "disk is full"))
        cause = QStringLiteral("диск заполнен, файл %1 не может быть записан").arg(native);
    else if (is(sqliteBusy, "database is locked") || is(sqliteLocked, "table is locked"))
        cause = QStringLiteral("файл %1 занят другой программой").arg(native);
    else if (is(sqliteReadOnly, "readonly") || is(sqlitePerm, "permission") ||
             is(sqliteCantOpen, "unable to open")) {
        cause = AccessCause(path, writing || is(sqliteReadOnly, "readonly"));
        if (cause.isEmpty())
            cause =
                is(sqliteReadOnly, "readonly")
                    ? QStringLiteral("файл %1 или его папка открыты только для чтения").arg(native)
                    : QStringLiteral("файл %1 не удаётся открыть: нет прав или он недоступен").arg(native);
    } else if (is(sqliteIoErr, "disk i/o error"))
        cause = QStringLiteral("ошибка чтения или записи диска при работе с файлом %1").arg(native);
    else
        cause = QStringLiteral("ошибка базы данных в файле %1").arg(native);
    // Qt's words for the failed step are Russian; SQLite's own words follow on a line apart.
    QString step = error.driverText().trimmed();
    if (!step.isEmpty() && !step.endsWith(u'.'))
        step += u'.';
    const QString sqlite = error.databaseText().trimmed();
    if (step.isEmpty() && sqlite.isEmpty())
        return cause;
    return cause + u'.' + (step.isEmpty() ? QString() : u'\n' + step) +
           (sqlite.isEmpty() ? QString() : QStringLiteral("\nПодробности: ") + sqlite);
}

void RemoveStaleTableFiles(const QString& folder) {
    // The table files are the only ".DB"/".db" files the journal makes.
    static const QRegularExpression work(QStringLiteral("^(.+\\.db\\.new)\\d+(-journal|-wal|-shm)?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    QSet<QString> prefixes;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch m = work.match(name);
        if (m.hasMatch())
            prefixes.insert(m.captured(1));
    }
    for (const QString& prefix : prefixes)
        RemoveStaleFiles(
            folder, prefix,
            {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")});
}

TTable::TTable(QString folder, QString fileName, QList<TFieldDef> fields, QStringList primaryKey)
    : folder_(std::move(folder)), fileName_(std::move(fileName)), fields_(std::move(fields)),
      key_(std::move(primaryKey)),
      connection_(QStringLiteral("vesk.table.%1").arg(connectionCount.fetchAndAddRelaxed(1))) {}

TTable::~TTable() {
    Close();
}

QString TTable::FilePath() const {
    return folder_.isEmpty() ? fileName_ : QDir(folder_).filePath(fileName_);
}

QString TTable::TableName() const {
    return QFileInfo(fileName_).completeBaseName();
}

int TTable::FieldIndex(const QString& name) const {
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TTable::Exists() const {
    return QFileInfo(FilePath()).isFile();
}

QString TTable::reason(const QSqlError& error, bool writing) const {
    return SqlErrorReason(error, FilePath(), writing);
}

QSqlDatabase TTable::Database() const {
    return QSqlDatabase::database(connection_, false);
}

QString TTable::quotedTable() const {
    return Quoted(TableName());
}

void TTable::openConnection(bool fresh, const QString& path) {
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        db.setDatabaseName(SqliteUri(path.isEmpty() ? FilePath() : path, fresh));
        if (db.open()) {
            QSqlQuery pragma(db);
            if (pragma.exec(QStringLiteral("PRAGMA synchronous=FULL")))
                return;
            error = SqlErrorReason(pragma.lastError(), path.isEmpty() ? FilePath() : path, fresh);
        } else {
            error = SqlErrorReason(db.lastError(), path.isEmpty() ? FilePath() : path, fresh);
        }
    }
    closeConnection();
    throw EVeskError(error);
}

void TTable::closeConnection() {
    insert_.reset();
    if (!QSqlDatabase::contains(connection_))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

QString TTable::createStatement() const {
    QStringList columns;
    for (const TFieldDef& f : fields_)
        columns.append(Quoted(f.Name) + u' ' + ColumnType(f.Type) +
                       (f.Required ? QStringLiteral(" NOT NULL") : QString()));
    if (!key_.isEmpty()) {
        QStringList keyColumns;
        for (const QString& k : key_)
            keyColumns.append(Quoted(k));
        columns.append(QStringLiteral("PRIMARY KEY(%1)").arg(keyColumns.join(u',')));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(quotedTable(), columns.join(QStringLiteral(", ")));
}

void TTable::CreateTable() {
    const auto fail = [this](const QString& reason) {
        return EVeskError(QStringLiteral("Не удалось создать таблицу %1: %2").arg(fileName_, reason));
    };
    const QString path = FilePath();
    const QFileInfo info(path);
    // An existing file holds the journal: it is never replaced, whatever it contains.
    if (info.exists() || info.isSymLink()) {
        const QString there = info.isFile() ? QString() : WhatIsThere(path);
        throw fail(there.isEmpty() ? QStringLiteral("файл %1 уже существует").arg(path)
                                   : QStringLiteral("на месте файла %1 находится %2")
                                         .arg(QDir::toNativeSeparators(path), there));
    }
    if (fields_.isEmpty())
        throw fail(QStringLiteral("не заданы поля"));
    for (const QString& k : key_)
        if (FieldIndex(k) < 0)
            throw fail(QStringLiteral("поле ключа %1 не найдено среди полей").arg(k));

    // The table is made whole in a file of its own, then moved into place under its name
    // without replacing anything: a kill at any moment leaves no journal file or a
    // complete one, and a file another process made meanwhile is left alone.
    const QString temp = QStringLiteral("%1.new%2").arg(path).arg(QCoreApplication::applicationPid());
    const auto removeTemp = [&temp] {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-journal"));
    };
    removeTemp();
    try {
        openConnection(true, temp);
        QSqlQuery create(Database());
        if (!create.exec(createStatement()))
            throw EVeskError(reason(create.lastError(), true));
    } catch (const EVeskError& e) {
        closeConnection();
        removeTemp();
        throw fail(e.Message());
    }
    closeConnection();
    const QByteArray from = QFile::encodeName(temp), to = QFile::encodeName(path);
    int moved = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (moved != 0 && errno == EINVAL) // a file system without the no-replace rename
        moved = ::link(from.constData(), to.constData());
    const int error = moved == 0 ? 0 : errno;
    removeTemp();
    if (error != 0)
        throw fail(error == EEXIST ? QStringLiteral("файл %1 уже существует").arg(path)
                                   : SystemErrorText(error));
    qCInfo(lcTable) << "created" << path;
}

bool TTable::holdsNoTable() {
    bool none = false;
    try {
        openConnection(false);
        QSqlQuery q(Database());
        none = q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && q.next() &&
               q.value(0).toInt() == 0;
    } catch (const EVeskError&) {
        none = false;
    }
    closeConnection();
    return none;
}

void TTable::Open() {
    if (active_)
        return;
    const auto fail = [this](const QString& reason) {
        return EVeskError(QStringLiteral("Не удалось открыть таблицу %1: %2").arg(fileName_, reason));
    };
    const QString path = FilePath();
    if (!QFileInfo(path).isFile()) {
        const QString there = WhatIsThere(path);
        throw fail(there.isEmpty() ? QStringLiteral("файл %1 не найден").arg(QDir::toNativeSeparators(path))
                                   : QStringLiteral("на месте файла %1 находится %2")
                                         .arg(QDir::toNativeSeparators(path), there));
    }
    try {
        openConnection(false);
    } catch (const EVeskError& e) {
        throw fail(e.Message());
    }

    QSqlQuery info(Database());
    QStringList present;
    if (info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quotedTable())))
        while (info.next())
            present.append(info.value(1).toString());
    QString why;
    if (info.lastError().isValid())
        why = reason(info.lastError(), false);
    else if (present.isEmpty())
        why = QStringLiteral("в файле нет таблицы %1").arg(TableName());
    for (int i = 0; why.isEmpty() && i < fields_.size(); ++i)
        if (!present.contains(fields_[i].Name, Qt::CaseInsensitive))
            why = QStringLiteral("в таблице нет поля %1").arg(fields_[i].Name);
    info = QSqlQuery();
    if (!why.isEmpty()) {
        closeConnection();
        throw fail(why);
    }
    active_ = true;
}

void TTable::OpenOrCreate() {
    if (active_)
        return;
    if (!QFileInfo::exists(FilePath())) {
        CreateTable();
    } else if (QFileInfo(FilePath()).isFile() && holdsNoTable()) {
        // A file left empty (a kill between making it and making its table) is completed.
        openConnection(false);
        QSqlQuery create(Database());
        const bool made = create.exec(createStatement());
        const QString error = reason(create.lastError(), true);
        create = QSqlQuery();
        closeConnection();
        if (!made)
            throw EVeskError(QStringLiteral("Не удалось создать таблицу %1: %2").arg(fileName_, error));
        qCInfo(lcTable) << "completed" << FilePath();
    }
    Open();
}

void TTable::Close() {
    closeConnection();
    active_ = false;
}

QVariant TTable::toStored(int column, const QVariant& v) const {
    const TFieldDef& f = fields_[column];
    if (IsBlank(v))
        return QVariant();
    const auto bad = [&] {
        return ERangeError(QStringLiteral("недопустимое значение \"%1\" поля %2").arg(v.toString(), f.Name));
    };
    switch (f.Type) {
    case TFieldType::String:
    case TFieldType::Memo: {
        QString s = v.toString();
        if (f.Type == TFieldType::String && f.Size > 0 && s.size() > f.Size) {
            qsizetype n = f.Size;
            if (s[n - 1].isHighSurrogate())
                --n; // never split a character in two
            s.truncate(n);
        }
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case TFieldType::Date: {
        QDate d = v.typeId() == QMetaType::QDateTime ? v.toDateTime().date()
                  : v.typeId() == QMetaType::QDate   ? v.toDate()
                                                     : QDate::fromString(v.toString(), dateFormat);
        if (!d.isValid())
            throw bad();
        return d.toString(dateFormat);
    }
    case TFieldType::Time: {
        QTime t;
        if (v.typeId() == QMetaType::QDateTime)
            t = v.toDateTime().time();
        else if (v.typeId() == QMetaType::QTime)
            t = v.toTime();
        else
            for (const QString& format : {timeFormat, QStringLiteral("HH:mm:ss"), QStringLiteral("HH:mm")})
                if ((t = QTime::fromString(v.toString(), format)).isValid())
                    break;
        if (!t.isValid())
            throw bad();
        return t.toString(timeFormat);
    }
    case TFieldType::Integer:
    case TFieldType::SmallInt: {
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        const qlonglong limit = f.Type == TFieldType::SmallInt ? 32767 : 2147483647;
        if (!ok || n > limit || n < -limit - 1)
            throw bad();
        return n;
    }
    case TFieldType::Float: {
        bool ok = false;
        const double x = v.toDouble(&ok);
        if (!ok)
            throw bad();
        return x;
    }
    }
    return v;
}

QVariant TTable::fromStored(int column, const QVariant& v) const {
    const TFieldType type = fields_[column].Type;
    if (type == TFieldType::String || type == TFieldType::Memo)
        return v.isNull() ? QString() : v.toString();
    if (v.isNull())
        return QVariant();
    switch (type) {
    case TFieldType::Date:
        return QDate::fromString(v.toString(), dateFormat);
    case TFieldType::Time: {
        const QTime t = QTime::fromString(v.toString(), timeFormat);
        return t.isValid() ? t : QTime::fromString(v.toString(), QStringLiteral("HH:mm:ss"));
    }
    case TFieldType::Integer:
    case TFieldType::SmallInt: {
        const qlonglong n = v.toLongLong();
        return n == int(n) ? QVariant(int(n)) : QVariant(n);
    }
    case TFieldType::Float:
        return v.toDouble();
    default:
        return v;
    }
}

void TTable::insertRow(const TRow& values, const QString& action) {
    const auto fail = [&](const QString& reason) {
        return EVeskError(QStringLiteral("%1 %2: %3").arg(action, fileName_, reason));
    };
    if (!active_)
        throw fail(QStringLiteral("таблица не открыта"));
    if (values.size() > fields_.size())
        throw ERangeError(QStringLiteral("%1 %2: значений (%3) больше, чем полей (%4)")
                              .arg(action, fileName_)
                              .arg(values.size())
                              .arg(fields_.size()));
    QVariantList stored;
    for (int i = 0; i < fields_.size(); ++i) {
        try {
            stored.append(i < values.size() ? toStored(i, values[i]) : QVariant());
        } catch (const ERangeError& e) {
            throw ERangeError(QStringLiteral("%1 %2: %3").arg(action, fileName_, e.Message()));
        }
    }
    if (!insert_) {
        QStringList names;
        for (const TFieldDef& f : fields_)
            names.append(Quoted(f.Name));
        auto query = std::make_unique<QSqlQuery>(Database());
        const QString marks = QStringList(fields_.size(), QStringLiteral("?")).join(u',');
        if (!query->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(quotedTable(), names.join(u','), marks)))
            throw fail(reason(query->lastError(), true));
        insert_ = std::move(query);
    }
    for (int i = 0; i < stored.size(); ++i)
        insert_->bindValue(i, stored[i]);
    const bool ok = insert_->exec();
    const QString error = reason(insert_->lastError(), true);
    insert_->finish();
    if (!ok)
        throw fail(error);
}

void TTable::Append(const TRow& values) {
    insertRow(values, QStringLiteral("Не удалось записать строку в таблицу"));
}

QString TTable::keyCondition() const {
    QStringList parts;
    for (const QString& k : key_)
        parts.append(Quoted(k) + QStringLiteral(" IS ?"));
    return parts.join(QStringLiteral(" AND "));
}

QVariantList TTable::storedKey(const TRow& key, const QString& action) const {
    if (key_.isEmpty())
        throw EVeskError(QStringLiteral("%1 %2: у таблицы нет первичного ключа").arg(action, fileName_));
    if (key.size() != key_.size())
        throw ERangeError(QStringLiteral("%1 %2: ключ из %3 значений, а нужно %4")
                              .arg(action, fileName_)
                              .arg(key.size())
                              .arg(key_.size()));
    QVariantList stored;
    for (int i = 0; i < key_.size(); ++i) {
        const int column = FieldIndex(key_[i]);
        if (column < 0)
            throw EVeskError(
                QStringLiteral("%1 %2: поле ключа %3 не найдено").arg(action, fileName_, key_[i]));
        try {
            stored.append(toStored(column, key[i]));
        } catch (const ERangeError& e) {
            throw ERangeError(QStringLiteral("%1 %2: %3").arg(action, fileName_, e.Message()));
        }
    }
    return stored;
}

std::optional<TRow> TTable::FindKey(const TRow& key) {
    const QVariantList stored = storedKey(key, QStringLiteral("Не удалось найти строку в таблице"));
    QStringList names;
    for (const TFieldDef& f : fields_)
        names.append(Quoted(f.Name));
    const QList<TRow> rows = Select(QStringLiteral("SELECT %1 FROM %2 WHERE %3 LIMIT 1")
                                        .arg(names.join(u','), quotedTable(), keyCondition()),
                                    stored);
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first();
}

void TTable::Post(const TRow& values) {
    const QString action = QStringLiteral("Не удалось записать строку в таблицу");
    if (key_.isEmpty()) {
        insertRow(values, action);
        return;
    }
    const auto fail = [&](const QString& reason) {
        return EVeskError(QStringLiteral("%1 %2: %3").arg(action, fileName_, reason));
    };
    if (!active_)
        throw fail(QStringLiteral("таблица не открыта"));
    TRow key;
    for (const QString& k : key_) {
        const int column = FieldIndex(k);
        key.append(column >= 0 && column < values.size() ? values[column] : QVariant());
    }
    const QVariantList keyValues = storedKey(key, action);
    QVariantList stored;
    QStringList assignments;
    for (int i = 0; i < fields_.size(); ++i) {
        try {
            stored.append(i < values.size() ? toStored(i, values[i]) : QVariant());
        } catch (const ERangeError& e) {
            throw ERangeError(QStringLiteral("%1 %2: %3").arg(action, fileName_, e.Message()));
        }
        assignments.append(Quoted(fields_[i].Name) + QStringLiteral("=?"));
    }

    // UPDATE, else INSERT, rather than INSERT OR REPLACE: the row keeps its place, and a blank
    // (NULL) key part still finds its row, as it does for FindKey.
    QSqlDatabase db = Database();
    if (!db.transaction())
        throw fail(reason(db.lastError(), true));
    try {
        QSqlQuery update(db);
        if (!update.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                .arg(quotedTable(), assignments.join(u','), keyCondition())))
            throw fail(reason(update.lastError(), true));
        for (const QVariant& v : stored + keyValues)
            update.addBindValue(v);
        if (!update.exec())
            throw fail(reason(update.lastError(), true));
        if (update.numRowsAffected() == 0)
            insertRow(values, action);
        if (!db.commit())
            throw fail(reason(db.lastError(), true));
    } catch (...) {
        db.rollback();
        throw;
    }
}

bool TTable::DeleteKey(const TRow& key) {
    const QString action = QStringLiteral("Не удалось удалить строку из таблицы");
    const QVariantList stored = storedKey(key, action);
    const auto fail = [&](const QString& reason) {
        return EVeskError(QStringLiteral("%1 %2: %3").arg(action, fileName_, reason));
    };
    if (!active_)
        throw fail(QStringLiteral("таблица не открыта"));
    QSqlQuery query(Database());
    if (!query.prepare(QStringLiteral("DELETE FROM %1 WHERE %2").arg(quotedTable(), keyCondition())))
        throw fail(reason(query.lastError(), true));
    for (const QVariant& v : stored)
        query.addBindValue(v);
    if (!query.exec())
        throw fail(reason(query.lastError(), true));
    return query.numRowsAffected() > 0;
}

QList<TRow> TTable::Select(const QString& sql, const QVariantList& binds) {
    const auto fail = [this](const QString& reason) {
        return EVeskError(QStringLiteral("Не удалось прочитать таблицу %1: %2").arg(fileName_, reason));
    };
    if (!active_)
        throw fail(QStringLiteral("таблица не открыта"));
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw fail(reason(query.lastError(), false));
    for (const QVariant& v : binds)
        query.addBindValue(BindValue(v));
    if (!query.exec())
        throw fail(reason(query.lastError(), false));

    const QSqlRecord record = query.record();
    QList<int> columns;
    for (int i = 0; i < record.count(); ++i)
        columns.append(FieldIndex(record.fieldName(i)));
    QList<TRow> rows;
    while (query.next()) {
        TRow row;
        row.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row.append(columns[i] >= 0 ? fromStored(columns[i], query.value(i)) : query.value(i));
        rows.append(row);
    }
    if (query.lastError().isValid())
        throw fail(reason(query.lastError(), false));
    return rows;
}

QList<TRow> TTable::AllRows() {
    QStringList names;
    for (const TFieldDef& f : fields_)
        names.append(Quoted(f.Name));
    return Select(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(names.join(u','), quotedTable()));
}

int TTable::Exec(const QString& sql, const QVariantList& binds) {
    const auto fail = [this](const QString& reason) {
        return EVeskError(QStringLiteral("Не удалось изменить таблицу %1: %2").arg(fileName_, reason));
    };
    if (!active_)
        throw fail(QStringLiteral("таблица не открыта"));
    QSqlQuery query(Database());
    if (!query.prepare(sql))
        throw fail(reason(query.lastError(), true));
    for (const QVariant& v : binds)
        query.addBindValue(BindValue(v));
    if (!query.exec())
        throw fail(reason(query.lastError(), true));
    return query.numRowsAffected();
}
