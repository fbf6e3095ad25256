#pragma once
// Checks that every text of a window fits the room it is given — labels, buttons, check
// boxes, group titles, tabs, table headers and cells, combo items, edits — and renders the
// window to a PNG in the build tree for a look. The rooms are taken from the fonts actually
// used, so the check holds whatever fonts the machine has. A window's caption is drawn by
// the window manager, which offscreen is not there: a caption counts as whole when the
// window is at least as wide as the program's rule for captions (CaptionWidth) asks.

#include "platform/DialogPresenter.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSet>
#include <QSpinBox>
#include <QStringList>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTextLayout>
#include <QWidget>
#include <cmath>
#include <limits>

namespace window_check {

inline QString Name(const QWidget* w) {
    return w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName();
}

/// Width of the widest line of a text, rounded up: an item view elides a text whose exact
/// width is over its room by a fraction of a pixel.
inline int TextWidth(const QFont& font, const QString& text) {
    const QFontMetricsF exact(font);
    qreal widest = 0;
    for (const QString& line : text.split('\n'))
        widest = std::max(widest, exact.horizontalAdvance(line));
    return int(std::ceil(widest));
}

inline int TextHeight(const QFontMetrics& fm, const QString& text) {
    return int(text.count('\n') + 1) * fm.height();
}

/// The font an item view draws a cell or a header section in.
inline QFont ItemFont(const QWidget* view, const QVariant& role) {
    return role.canConvert<QFont>() ? role.value<QFont>() : view->font();
}

/// Header sections: the title and the sort/margin room the style gives it.
inline void CheckHeader(const QHeaderView* h, QStringList& wrong) {
    if (!h->isVisible() || !h->model())
        return;
    const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
    const int count = std::min(h->count(), 200);
    for (int i = 0; i < count; ++i) {
        if (h->isSectionHidden(i))
            continue;
        const QString text = h->model()->headerData(i, h->orientation()).toString();
        if (text.isEmpty())
            continue;
        QFont font = ItemFont(h, h->model()->headerData(i, h->orientation(), Qt::FontRole));
        font.setBold(font.bold() || h->highlightSections()); // the current section's title is bold
        const QFontMetrics fm(font);
        const int size = h->sectionSize(i);
        const int wide = h->orientation() == Qt::Horizontal ? size : h->width();
        const int tall = h->orientation() == Qt::Horizontal ? h->height() : size;
        if (TextWidth(font, text) + margin > wide || TextHeight(fm, text) > tall)
            wrong << QString("%1 header %2 \"%3\": needs %4x%5, has %6x%7")
                         .arg(Name(h->parentWidget()))
                         .arg(i)
                         .arg(text)
                         .arg(TextWidth(font, text) + margin)
                         .arg(TextHeight(fm, text))
                         .arg(wide)
                         .arg(tall);
    }
}

/// Height of a text as a view lays it out wrapped at its words to a width; a word wider
/// than the width is cut (the view elides it), and the text never fits.
inline int WrappedHeight(const QFont& font, const QString& text, int width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    qreal height = 0;
    bool cut = false;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        height += line.height();
        cut = cut || line.naturalTextWidth() > line.width();
    }
    layout.endLayout();
    return cut ? std::numeric_limits<int>::max() : int(std::ceil(height));
}

/// Cells of a table: the text plus the delegate's margins on both sides; a table that wraps
/// its texts needs the lines of a wider text to fit the row's height. No column is wider
/// than the view, or a text in it is never seen whole.
inline void CheckCells(const QTableView* t, QStringList& wrong, const QSet<QString>& skip) {
    if (!t->model() || skip.contains(t->objectName()))
        return;
    for (int c = 0; c < std::min(t->model()->columnCount(), 50); ++c)
        if (!t->isColumnHidden(c) && t->columnWidth(c) > t->viewport()->width() && t->viewport()->width() > 0)
            wrong << QString("%1 column %2: %3 wide in a view of %4")
                         .arg(Name(t))
                         .arg(c)
                         .arg(t->columnWidth(c))
                         .arg(t->viewport()->width());
    // The delegate's margins on both sides, and the grid line that the cell gives up.
    const int margin =
        2 * (t->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, t) + 1) + (t->showGrid() ? 1 : 0);
    const int rows = std::min(t->model()->rowCount(), 200);
    const int columns = std::min(t->model()->columnCount(), 50);
    int cut = 0; // only the first few cut cells of a table are named
    for (int r = 0; r < rows; ++r) {
        if (t->isRowHidden(r))
            continue;
        for (int c = 0; c < columns; ++c) {
            if (t->isColumnHidden(c))
                continue;
            const QModelIndex i = t->model()->index(r, c);
            const QString text = i.data().toString();
            if (text.isEmpty())
                continue;
            const QFont font = ItemFont(t, i.data(Qt::FontRole));
            const QFontMetrics fm(font);
            const int need = TextWidth(font, text) + margin;
            if (need <= t->columnWidth(c) && TextHeight(fm, text) <= t->rowHeight(r))
                continue;
            // A wrapped text fills the cell less its grid line.
            if (t->wordWrap() && need > t->columnWidth(c) &&
                WrappedHeight(font, text, t->columnWidth(c) - margin) <=
                    t->rowHeight(r) - (t->showGrid() ? 1 : 0))
                continue;
            if (++cut <= 3)
                wrong << QString("%1 cell %2,%3 \"%4\": needs %5x%6, has %7x%8")
                             .arg(Name(t))
                             .arg(r)
                             .arg(c)
                             .arg(text)
                             .arg(need)
                             .arg(TextHeight(fm, text))
                             .arg(t->columnWidth(c))
                             .arg(t->rowHeight(r));
        }
    }
    if (cut > 3)
        wrong << QString("%1: %2 more cells cut").arg(Name(t)).arg(cut - 3);
}

/// Tabs: every tab lies wholly inside its bar and is as wide as its title asks.
inline void CheckTabs(const QTabBar* bar, QStringList& wrong) {
    if (!bar->isVisible())
        return;
    for (int i = 0; i < bar->count(); ++i) {
        const QRect r = bar->tabRect(i);
        const int need = bar->fontMetrics().horizontalAdvance(bar->tabText(i));
        if (!bar->rect().contains(r) || r.width() < need)
            wrong << QString("%1 tab \"%2\": needs %3, has %4 of a bar %5 wide")
                         .arg(Name(bar->parentWidget() ? bar->parentWidget() : bar), bar->tabText(i))
                         .arg(need)
                         .arg(r.width())
                         .arg(bar->width());
    }
}

} // namespace window_check

/// The texts of a window that are wider (or taller) than their widget, one line each.
/// Tables named in skip have their cells left alone (their headers are still checked).
inline QStringList TextsThatDoNotFit(QWidget* window, const QSet<QString>& skip = {}) {
    using namespace window_check;
    QStringList wrong;
    const auto report = [&](const QWidget* w, const QString& text, int need, int room) {
        if (need > room)
            wrong << QString("%1 \"%2\": %3 > %4").arg(Name(w), text).arg(need).arg(room);
    };
    if (window->isWindow())
        report(window, window->windowTitle(), CaptionWidth(window->windowTitle()), window->width());
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window)
            continue; // a combo's drop-down list is a window of its own
        const QFontMetrics fm = w->fontMetrics();
        if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty()) {
            const QRect room = l->contentsRect();
            if (l->wordWrap() || Qt::mightBeRichText(l->text())) {
                // Wrapped or rich text: the label's own layout says how tall it must be.
                report(l, l->text(), l->heightForWidth(l->width()), l->height());
            } else {
                report(l, l->text(), TextWidth(l->font(), l->text()), room.width());
                report(l, l->text(), TextHeight(fm, l->text()), room.height());
            }
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (!b->text().isEmpty() && !qobject_cast<QTabBar*>(b->parentWidget()))
                report(b, b->text(), b->sizeHint().width(), b->width());
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            report(g, g->title(), fm.horizontalAdvance(g->title()) + 16, g->width());
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < c->count(); ++i)
                report(c, c->itemText(i), fm.horizontalAdvance(c->itemText(i)) + 28, c->width());
        } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
            report(s, QString::number(s->maximum()), s->sizeHint().width(), s->width());
        } else if (auto* e = qobject_cast<QLineEdit*>(w);
                   e && !qobject_cast<QAbstractSpinBox*>(w->parent()) &&
                   !qobject_cast<QAbstractItemView*>(w->parentWidget() ? w->parentWidget()->parent()
                                                                       : nullptr)) {
            report(e, e->text(), fm.horizontalAdvance(e->text()) + 8, e->width());
        } else if (auto* h = qobject_cast<QHeaderView*>(w)) {
            CheckHeader(h, wrong);
        } else if (auto* t = qobject_cast<QTableView*>(w)) {
            CheckCells(t, wrong, skip);
        } else if (auto* bar = qobject_cast<QTabBar*>(w)) {
            CheckTabs(bar, wrong);
        }
        // Parts of a scroll area (its bars, corner, viewport) are placed by the area itself.
        const QWidget* parent = w->parentWidget();
        const bool insideScrollArea =
            parent && (qobject_cast<const QAbstractScrollArea*>(parent) ||
                       qobject_cast<const QAbstractScrollArea*>(parent->parentWidget()));
        if (parent && w->isVisibleTo(window) && !insideScrollArea &&
            (w->geometry().right() >= parent->width() || w->geometry().bottom() >= parent->height()))
            wrong << QString("%1 %2 reaches past its parent").arg(w->metaObject()->className(), Name(w));
    }
    return wrong;
}

/// Shown children of a widget that stand on one another, one pair a line (a group box or
/// frame holding others is a parent, not a sibling, so it is never counted).
inline QStringList OverlappingChildren(const QWidget* parent) {
    QList<const QWidget*> shown;
    for (const QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisibleTo(parent) && !w->isWindow())
            shown << w;
    QStringList wrong;
    for (int i = 0; i < shown.size(); ++i)
        for (int j = i + 1; j < shown.size(); ++j)
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                wrong << QString("%1 and %2 overlap")
                             .arg(window_check::Name(shown[i]), window_check::Name(shown[j]));
    return wrong;
}
