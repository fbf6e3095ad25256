#include "journal/BlockNumTable.h"

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "runs/JournalWriters.h"

#include <QLoggingCategory>
#include <QMetaMethod>

Q_LOGGING_CATEGORY(lcBlockNum, "vesk.blocknum")

bool BlockNumImporting = false;

namespace {

TBlockNumTable* instance = nullptr;
constexpr int unknownPosition = -2;

// The database layer's constraint texts in the operator's words.
QString OperatorText(const QString& message) {
    if (message.contains(QStringLiteral("UNIQUE constraint"), Qt::CaseInsensitive))
        return QStringLiteral("Такой набор заводских номеров у этого локомотива уже есть (нарушение ключа)");
    if (message.contains(QStringLiteral("NOT NULL constraint"), Qt::CaseInsensitive))
        return QStringLiteral("Не заполнено обязательное поле «Локомотив»");
    return message;
}

QVariant Stored(const QVariant& v) {
    if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
        return QVariant();
    return v;
}

int KindValue(const QVariant& v) {
    bool ok = false;
    const int k = v.toInt(&ok);
    return ok ? k : 0;
}

// The value a column takes: dates and times typed as text are read; a text longer than
// its column and a date or time that is not one are refused, never cut or emptied.
QVariant Checked(int column, const QVariant& value) {
    const TFieldDef field = TBlockNumTable::Fields().value(column);
    const QString title = BlockNumColumnTitle(column);
    if (!value.isValid() || value.isNull() ||
        (value.typeId() == QMetaType::QString && value.toString().isEmpty()))
        return value;
    const QString text = value.toString();
    switch (field.Type) {
    case TFieldType::String:
        if (text.size() > field.Size)
            throw ERangeError(QStringLiteral("Значение поля «%1» длиннее %2 знаков: %3")
                                  .arg(title)
                                  .arg(field.Size)
                                  .arg(text));
        return value;
    case TFieldType::Date: {
        QDate d = value.toDate();
        if (value.typeId() == QMetaType::QString) {
            d = QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
            if (!d.isValid())
                d = QDate::fromString(text, Qt::ISODate);
        }
        if (!d.isValid())
            throw ERangeError(QStringLiteral("Неверная дата в поле «%1»%2")
                                  .arg(title, text.isEmpty() ? QString() : QStringLiteral(": ") + text));
        return d;
    }
    case TFieldType::Time: {
        QTime t = value.toTime();
        if (value.typeId() == QMetaType::QString)
            t = QTime::fromString(text,
                                  text.size() > 5 ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm"));
        if (!t.isValid())
            throw ERangeError(QStringLiteral("Неверное время в поле «%1»%2")
                                  .arg(title, text.isEmpty() ? QString() : QStringLiteral(": ") + text));
        return t;
    }
    default:
        return value;
    }
}

} // namespace

QString BlockNumColumnTitle(int column) {
    switch (column) {
    case bnLoko:
        return QStringLiteral("Локомотив");
    case bnLastD:
        return QStringLiteral("Дата перезаписи");
    case bnLastT:
        return QStringLiteral("Время перезаписи");
    case bnD:
        return QStringLiteral("Дата внесения");
    case bnT:
        return QStringLiteral("Время внесения");
    case bnKind:
        return QStringLiteral("Источник");
    default:
        return column >= bnBlock1 && column < bnBlock1 + 8 ? QStringLiteral("Блок%1").arg(column) : QString();
    }
}

TBlockNumTable* BlockNumTable() {
    return instance;
}

void SetBlockNumTable(TBlockNumTable* table) {
    instance = table;
}

TBlockNumTable::TBlockNumTable(QString folder, QObject* parent)
    : QObject(parent),
      table_(std::move(folder), QString::fromLatin1(BlockNumFileName), Fields(), KeyFields()),
      rows_(&table_) {
    rows_.SetOrder(KeyFields());
}

TBlockNumTable::~TBlockNumTable() {
    if (instance == this)
        instance = nullptr;
}

QList<TFieldDef> TBlockNumTable::Fields() {
    QList<TFieldDef> f{{"Loko", TFieldType::String, 8, true}};
    for (int i = 1; i <= 8; ++i)
        f.append({QStringLiteral("Block%1").arg(i), TFieldType::String, 16});
    f.append({"d", TFieldType::Date});
    f.append({"t", TFieldType::Time});
    f.append({"Kind", TFieldType::SmallInt});
    f.append({"LastD", TFieldType::Date});
    f.append({"LastT", TFieldType::Time});
    return f;
}

QStringList TBlockNumTable::KeyFields() {
    QStringList k{"Loko"};
    for (int i = 1; i <= 8; ++i)
        k.append(QStringLiteral("Block%1").arg(i));
    return k;
}

QString TBlockNumTable::KindCapt(const QVariant& kind) {
    switch (KindValue(kind)) {
    case KindByHand:
        return QStringLiteral("Вручную");
    case KindFromDevice:
        return QStringLiteral("Автоматически");
    default:
        return {};
    }
}

void TBlockNumTable::Open() {
    table_.OpenOrCreate();
    setState(TDataState::Browse);
    Refresh();
}

void TBlockNumTable::Close() {
    table_.Close();
    rows_.Invalidate();
    currentId_ = -1;
    current_ = -1;
    setState(TDataState::Inactive);
    emit RowsChanged();
}

bool TBlockNumTable::Active() const {
    return table_.Active();
}

QString TBlockNumTable::FilePath() const {
    return table_.FilePath();
}

void TBlockNumTable::checkActive() const {
    if (!table_.Active())
        throw EVeskError(QStringLiteral("Таблица %1 не открыта").arg(QString::fromLatin1(BlockNumFileName)));
}

void TBlockNumTable::setState(TDataState s) {
    if (state_ == s)
        return;
    state_ = s;
    emit StateChanged();
}

TRow TBlockNumTable::keyOf(const TRow& row) const {
    return row.mid(0, 9);
}

int TBlockNumTable::RowCount() const {
    return rows_.Count() + (state_ == TDataState::Insert ? 1 : 0);
}

int TBlockNumTable::CurrentIndex() const {
    if (current_ != unknownPosition)
        return current_;
    if (state_ == TDataState::Insert) {
        current_ = rows_.Count(); // the new row shows after the stored ones
        return current_;
    }
    current_ = currentId_ >= 0 ? rows_.PositionOf(currentId_) : -1;
    if (current_ < 0) { // none chosen, or gone: the first row
        current_ = rows_.Count() > 0 ? 0 : -1;
        currentId_ = rows_.RowId(current_);
    }
    return current_;
}

TRow TBlockNumTable::currentStored() const {
    if (currentId_ < 0)
        CurrentIndex();
    const std::optional<TRow> row = rows_.RowById(currentId_);
    return row ? *row : TRow(bnColumnCount);
}

void TBlockNumTable::notifyCurrent() {
    current_ = unknownPosition;
    if (isSignalConnected(QMetaMethod::fromSignal(&TBlockNumTable::CurrentChanged)))
        emit CurrentChanged(CurrentIndex());
}

void TBlockNumTable::SetCurrentIndex(int index) {
    if (index == CurrentIndex())
        return;
    if (editing())
        Post(); // leaving a changed row saves it, as a grid does
    if (index < -1 || index >= RowCount())
        throw ERangeError(QStringLiteral("Номер строки %1 вне таблицы").arg(index));
    currentId_ = rows_.RowId(index);
    current_ = index;
    emit CurrentChanged(current_);
}

TRow TBlockNumTable::Row(int index) const {
    if (editing() && index == CurrentIndex())
        return buffer_;
    return index >= 0 && index < rows_.Count() ? rows_.Row(index) : TRow(bnColumnCount);
}

QVariant TBlockNumTable::Value(int column) const {
    const TRow r = editing() ? buffer_ : currentStored();
    return column >= 0 && column < r.size() ? r[column] : QVariant();
}

void TBlockNumTable::SetValue(int column, const QVariant& value) {
    if (column < 0 || column >= bnColumnCount)
        throw ERangeError(QStringLiteral("Номер поля %1 вне таблицы").arg(column));
    if (state_ == TDataState::Browse)
        Edit();
    if (state_ != TDataState::Edit && state_ != TDataState::Insert)
        throw EVeskError(QStringLiteral("Таблица не в режиме редактирования"));
    buffer_[column] = Checked(column, value);
    if (isSignalConnected(QMetaMethod::fromSignal(&TBlockNumTable::RowChanged)))
        emit RowChanged(CurrentIndex());
}

void TBlockNumTable::Edit() {
    checkActive();
    if (state_ == TDataState::Edit || state_ == TDataState::Insert)
        return;
    if (currentId_ < 0)
        CurrentIndex(); // the first row, when none was chosen
    const std::optional<TRow> found = rows_.RowById(currentId_);
    if (!found)
        throw EVeskError(QStringLiteral("Нет строки для редактирования"));
    const TRow& row = *found;
    // Rows that came from the device stay as the device reported them.
    if (!BlockNumImporting && KindValue(row[bnKind]) != KindByHand)
        throw EVeskError(QStringLiteral("Пришедшую с устройства информацию менять нельзя"));
    buffer_ = row;
    bufferKey_ = keyOf(buffer_);
    setState(TDataState::Edit);
}

void TBlockNumTable::Append() {
    checkActive();
    if (state_ == TDataState::Edit || state_ == TDataState::Insert)
        Post();
    const QDateTime now = Clock().Now();
    TRow row(bnColumnCount);
    row[bnKind] = KindByHand;
    row[bnD] = now.date();
    row[bnT] = now.time();
    beforeInsert_ = currentId_;
    buffer_ = row;
    bufferKey_.clear();
    setState(TDataState::Insert);
    emit RowsChanged();
    notifyCurrent();
}

void TBlockNumTable::Post() {
    checkActive();
    if (state_ != TDataState::Edit && state_ != TDataState::Insert)
        return;
    try {
        if (state_ == TDataState::Insert) {
            table_.Append(buffer_);
        } else {
            QStringList sets;
            QVariantList binds;
            const QList<TFieldDef> fields = Fields();
            for (int i = 0; i < fields.size(); ++i) {
                sets.append(QStringLiteral("\"%1\"=?").arg(fields[i].Name));
                binds.append(Stored(buffer_[i]));
            }
            QStringList where;
            for (int i = 0; i < 9; ++i) {
                where.append(QStringLiteral("\"%1\" IS ?").arg(fields[i].Name));
                binds.append(Stored(bufferKey_[i]));
            }
            table_.Exec(QStringLiteral("UPDATE \"BlockNum\" SET %1 WHERE %2")
                            .arg(sets.join(u','), where.join(" AND ")),
                        binds);
        }
    } catch (const EVeskError& e) {
        throw EVeskError(OperatorText(e.Message()));
    }
    const TRow key = keyOf(buffer_);
    setState(TDataState::Browse);
    Refresh();
    Locate(key);
}

void TBlockNumTable::Cancel() {
    if (!editing())
        return;
    if (state_ == TDataState::Insert)
        currentId_ = beforeInsert_;
    buffer_.clear();
    setState(TDataState::Browse);
    emit RowsChanged();
    notifyCurrent();
}

void TBlockNumTable::Delete() {
    checkActive();
    if (state_ == TDataState::Insert) {
        Cancel();
        return;
    }
    if (state_ == TDataState::Edit)
        Cancel();
    const int keep = CurrentIndex();
    if (keep < 0)
        return;
    table_.DeleteKey(keyOf(currentStored()));
    rows_.Invalidate();
    current_ = std::min(keep, rows_.Count() - 1);
    currentId_ = rows_.RowId(current_);
    emit RowsChanged();
    emit CurrentChanged(current_);
}

bool TBlockNumTable::Locate(const TRow& key) {
    if (key.size() != 9)
        throw ERangeError(QStringLiteral("Ключ заводских номеров: нужно 9 значений"));
    checkActive();
    // The primary key's index answers: no row is read but the one found.
    QStringList where;
    QVariantList binds;
    const QStringList names = KeyFields();
    for (int k = 0; k < 9; ++k) {
        where.append(QStringLiteral("\"%1\" IS ?").arg(names[k]));
        binds.append(Stored(QVariant(key[k].toString())));
    }
    const QList<TRow> found = table_.Select(
        QStringLiteral("SELECT rowid FROM \"BlockNum\" WHERE %1").arg(where.join(" AND ")), binds);
    if (found.isEmpty())
        return false;
    currentId_ = found.first().value(0).toLongLong();
    notifyCurrent();
    return true;
}

void TBlockNumTable::Refresh() {
    checkActive();
    rows_.Invalidate(); // the current row is kept by its rowid when it still exists
    emit RowsChanged();
    notifyCurrent();
}

bool SaveBlockNums(const QString& loko, int kind, const QDateTime& when, const QStringList& blocks) {
    TBlockNumTable* t = BlockNumTable();
    // A row the operator is changing is finished first, by the operator's choice.
    while (t && (t->State() == TDataState::Edit || t->State() == TDataState::Insert)) {
        // Only Yes or No settles it: Esc or the close box asks again, the edit kept.
        const int answer = MessageDlgEscapeCloses(
            "Получены данные со ВЕСК. Необходимо завершить редактирование строки. Сохранить изменения?",
            TMsgDlgType::Warning, mbYes | mbNo);
        try {
            if (answer == mrYes)
                t->Post();
            else if (answer == mrNo)
                t->Cancel();
        } catch (const std::exception& e) {
            qCWarning(lcBlockNum) << "pending edit:" << ExceptionText(e);
        }
    }

    BlockNumImporting = true;
    bool ok = false;
    try {
        if (!t)
            throw EVeskError(
                QStringLiteral("Таблица %1 не открыта").arg(QString::fromLatin1(BlockNumFileName)));
        if (blocks.size() != 8)
            throw ERangeError(QStringLiteral("Нужно 8 заводских номеров, получено %1").arg(blocks.size()));
        // A table that did not open before (a full disk at start) is tried again each time.
        if (!t->Active())
            t->Open();
        TRow key{loko};
        for (const QString& b : blocks)
            key.append(b);
        const QDateTime now = Clock().Now(); // one moment for LastD and LastT
        if (t->Locate(key)) {
            t->Edit();
            t->SetValue(bnLastD, now.date());
            t->SetValue(bnLastT, now.time());
            t->SetValue(bnKind, kind);
            t->Post();
        } else {
            t->Append();
            t->SetValue(bnLoko, loko);
            t->SetValue(bnD, when.date());
            t->SetValue(bnT, when.time());
            t->SetValue(bnLastD, now.date());
            t->SetValue(bnLastT, now.time());
            t->SetValue(bnKind, kind);
            for (int i = 0; i < 8; ++i)
                t->SetValue(bnBlock1 + i, blocks[i]);
            t->Post();
        }
        ok = true;
    } catch (const std::exception& e) {
        if (t)
            t->Cancel();
        qCWarning(lcBlockNum) << "import failed:" << ExceptionText(e);
        // Told once the result's wait is over; failures met while the operator reads it
        // come together in one more dialog.
        TellOperatorLater(TNotice::BlockNums, ExceptionText(e));
    }
    BlockNumImporting = false;
    return ok;
}

QStringList BlockNumPrintQuery(int includeItem) {
    if (includeItem == 0)
        return {"select * from BlockNum b1",
                "where",
                "(select count(*) from BlockNum b2",
                "where b2.Loko=b1.Loko and",
                "(b2.Lastd>b1.Lastd or (b2.Lastd=b1.Lastd and b2.Lastt>b1.Lastt))",
                ")=0"};
    return {"select * from BlockNum"};
}
