#include "journal/AttenuationEdit.h"

#include "journal/Attenuation.h"
#include "platform/Errors.h"

namespace {
constexpr int columnCount = 3;
} // namespace

TAttenuationEdit::TAttenuationEdit(QObject* parent) : QObject(parent) {}

TTable* TAttenuationEdit::Table() const {
    return AttenuationTable();
}

TEditState TAttenuationEdit::State() const {
    return Table() ? state_ : TEditState::Inactive;
}

TTable* TAttenuationEdit::checked() const {
    TTable* t = Table();
    if (!t)
        throw EVeskError(QStringLiteral("Таблица %1 не открыта").arg(QString::fromUtf8(AttenuationFileName)));
    return t;
}

QString TAttenuationEdit::FilledKey(const QString& loco) {
    QString key = loco;
    while (key.size() < 7)
        key.prepend(u'0');
    return key;
}

int TAttenuationEdit::RowCount() const {
    return int(rows_.size()) + (state_ == TEditState::Insert ? 1 : 0);
}

TRow TAttenuationEdit::Row(int index) const {
    if (Editing() && index == current_)
        return buffer_;
    return index >= 0 && index < rows_.size() ? rows_[index] : TRow(columnCount);
}

void TAttenuationEdit::Refresh() {
    ids_.clear();
    rows_.clear();
    if (TTable* t = Table()) {
        for (TRow& r : t->Select(QStringLiteral("SELECT rowid,\"Lokomotiv\",\"OslablenieM\",\"OslablenieG\" "
                                                "FROM \"%1\" ORDER BY \"Lokomotiv\"")
                                     .arg(t->TableName()))) {
            ids_.append(r.takeFirst().toLongLong());
            rows_.append(r);
        }
    }
    current_ = std::min(std::max(current_, rows_.isEmpty() ? -1 : 0), int(rows_.size()) - 1);
    emit RowsChanged();
    emit CurrentChanged(current_);
}

void TAttenuationEdit::SetCurrentIndex(int index) {
    if (index == current_)
        return;
    if (Editing())
        Post(); // leaving a changed row saves it, as a grid does
    if (index < -1 || index >= RowCount())
        throw ERangeError(QStringLiteral("Номер строки %1 вне таблицы").arg(index));
    current_ = index;
    emit CurrentChanged(current_);
}

void TAttenuationEdit::SetValue(int column, const QVariant& value) {
    if (column < 0 || column >= columnCount)
        throw ERangeError(QStringLiteral("Номер поля %1 вне таблицы").arg(column));
    QVariant v = value;
    if (column == 0 && v.toString().size() > 7)
        throw ERangeError(QStringLiteral("Номер локомотива «%1» длиннее 7 знаков").arg(v.toString()));
    if (column > 0 && !v.toString().trimmed().isEmpty()) {
        bool ok = false;
        const int n = v.toString().trimmed().toInt(&ok);
        if (!ok || n < -32768 || n > 32767)
            throw ERangeError(
                QStringLiteral("Коррекция ослабления «%1»: нужно целое число от -32768 до 32767")
                    .arg(v.toString()));
        v = n;
    } else if (column > 0) {
        v = QVariant();
    }
    if (state_ == TEditState::Browse)
        Edit();
    buffer_[column] = v;
    emit RowChanged(current_);
}

void TAttenuationEdit::Edit() {
    checked();
    if (Editing())
        return;
    if (current_ < 0 || current_ >= rows_.size())
        throw EVeskError(QStringLiteral("Нет строки для редактирования"));
    buffer_ = rows_[current_];
    state_ = TEditState::Edit;
}

void TAttenuationEdit::Append() {
    checked();
    if (Editing())
        Post();
    buffer_ = TRow(columnCount);
    current_ = int(rows_.size());
    state_ = TEditState::Insert;
    emit RowsChanged();
    emit CurrentChanged(current_);
}

void TAttenuationEdit::Post() {
    TTable* t = checked();
    if (!Editing())
        return;
    TRow row = buffer_;
    row[0] = FilledKey(row[0].toString());
    const QString key = row[0].toString();
    try {
        if (state_ == TEditState::Insert)
            t->Append(row);
        else
            t->Exec(QStringLiteral(
                        "UPDATE \"%1\" SET \"Lokomotiv\"=?,\"OslablenieM\"=?,\"OslablenieG\"=? WHERE rowid=?")
                        .arg(t->TableName()),
                    {row[0], row[1], row[2], ids_.value(current_, -1)});
    } catch (const EVeskError& e) {
        // The primary key refuses a second row of a locomotive: said in the operator's words.
        if (e.Message().contains(QStringLiteral("UNIQUE"), Qt::CaseInsensitive))
            throw EVeskError(QStringLiteral("Нарушение уникального ключа: локомотив %1 уже есть в таблице %2")
                                 .arg(key, QString::fromUtf8(AttenuationFileName)));
        throw;
    }
    buffer_.clear();
    state_ = TEditState::Browse;
    Refresh();
    current_ = -1;
    for (int i = 0; i < rows_.size(); ++i)
        if (rows_[i].value(0).toString() == key)
            current_ = i;
    emit CurrentChanged(current_);
}

void TAttenuationEdit::Cancel() {
    if (!Editing())
        return;
    if (state_ == TEditState::Insert)
        current_ = std::min(current_, int(rows_.size()) - 1);
    buffer_.clear();
    state_ = TEditState::Browse;
    emit RowsChanged();
    emit CurrentChanged(current_);
}

void TAttenuationEdit::Delete() {
    TTable* t = checked();
    if (state_ == TEditState::Insert) {
        Cancel();
        return;
    }
    Cancel();
    if (current_ < 0 || current_ >= ids_.size())
        return;
    t->Exec(QStringLiteral("DELETE FROM \"%1\" WHERE rowid=?").arg(t->TableName()), {ids_[current_]});
    Refresh();
}
