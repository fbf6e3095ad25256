#pragma once
// The record navigator of the journal windows: a row of small picture buttons (first,
// prior, next, last, insert, delete, edit, post, cancel, refresh), each with its hint.

#include <QList>
#include <QString>
#include <QWidget>

class QToolButton;

/// The navigator's buttons.
enum class TNavButton { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    struct TButton {
        TNavButton Kind;
        QString Hint;
    };
    TDBNavigator(const QList<TButton>& buttons, QWidget* parent = nullptr);
    /// The button of that kind; nullptr when this navigator has none.
    QToolButton* Button(TNavButton kind) const;

signals:
    void Clicked(TNavButton kind);

private:
    QList<QPair<TNavButton, QToolButton*>> buttons_;
};
