#pragma once
// Checks that every caption of a window fits the room it is given, and renders the
// window to a PNG in the build tree for a look.

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStringList>
#include <QWidget>

/// The texts of window that are wider (or taller) than their widget, one line each.
inline QStringList TextsThatDoNotFit(QWidget* window) {
    QStringList wrong;
    const auto report = [&](const QWidget* w, const QString& text, int need, int room) {
        if (need > room)
            wrong << QString("%1 \"%2\": %3 > %4").arg(w->objectName(), text).arg(need).arg(room);
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window)
            continue; // a combo's drop-down list is a window of its own
        const QFontMetrics fm = w->fontMetrics();
        if (auto* l = qobject_cast<QLabel*>(w)) {
            const QStringList lines = l->text().split('\n');
            for (const QString& line : lines)
                report(l, line, fm.horizontalAdvance(line), l->contentsRect().width());
            report(l, l->text(), int(lines.size()) * fm.height(), l->contentsRect().height());
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (!b->text().isEmpty())
                report(b, b->text(), b->sizeHint().width(), b->width());
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            report(g, g->title(), fm.horizontalAdvance(g->title()) + 16, g->width());
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < c->count(); ++i)
                report(c, c->itemText(i), fm.horizontalAdvance(c->itemText(i)) + 28, c->width());
        } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
            report(s, QString::number(s->maximum()), s->sizeHint().width(), s->width());
        } else if (auto* e = qobject_cast<QLineEdit*>(w);
                   e && !qobject_cast<QAbstractSpinBox*>(w->parent())) {
            report(e, e->text(), fm.horizontalAdvance(e->text()) + 8, e->width());
        }
        if (w->parentWidget() && (w->geometry().right() >= w->parentWidget()->width() ||
                                  w->geometry().bottom() >= w->parentWidget()->height()))
            wrong << QString("%1 %2 reaches past its parent")
                         .arg(w->metaObject()->className(), w->objectName());
    }
    return wrong;
}
