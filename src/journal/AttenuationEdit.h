#pragma once
// The attenuation corrections as the editor changes them: the rows of "РВ.db" in
// ascending locomotive order, a current row and the browse, edit and insert states, over
// the very table the device's requests are answered from.

#include "platform/Table.h"

#include <QObject>

/// States of an edited table, as the navigator and the close question follow them.
enum class TEditState { Inactive, Browse, Edit, Insert };

class TAttenuationEdit : public QObject {
    Q_OBJECT
public:
    explicit TAttenuationEdit(QObject* parent = nullptr);

    /// The table open for the run (nullptr when it did not open).
    TTable* Table() const;
    TEditState State() const;
    bool Editing() const { return state_ == TEditState::Edit || state_ == TEditState::Insert; }

    int RowCount() const;
    int CurrentIndex() const { return current_; }
    /// Moves to another row; a pending change is posted first.
    void SetCurrentIndex(int index);
    /// A row as shown: the pending values for the row being changed.
    TRow Row(int index) const;
    /// Changes a value of the current row, starting an edit when browsing. Refuses a
    /// locomotive longer than 7 characters and a correction that is not a 16-bit integer.
    void SetValue(int column, const QVariant& value);

    void Edit();
    /// Starts a new row after the others.
    void Append();
    /// Fills the locomotive to 7 characters with '0' in front and writes the row. A second
    /// row for one locomotive is refused with the database's reason; the row stays pending.
    void Post();
    void Cancel();
    void Delete();
    /// Reads the rows again (they are few: one per locomotive).
    void Refresh();

    /// The locomotive as posted: '0' put in front up to 7 characters.
    static QString FilledKey(const QString& loco);

signals:
    void RowsChanged();
    /// A value of one row changed (the rows themselves stay).
    void RowChanged(int index);
    void CurrentChanged(int index);

private:
    TTable* checked() const;

    QList<qint64> ids_;
    QList<TRow> rows_;
    TRow buffer_;
    int current_ = -1;
    TEditState state_ = TEditState::Browse;
};
