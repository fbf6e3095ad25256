#include "journal/TResultBrowser.h"

#include "journal/JournalModel.h"
#include "journal/ResultReports.h"
#include "journal/TFSelectDlg.h"
#include "journal/TForm2.h"
#include "journal/report/ReportPreview.h"
#include "platform/DateFormat.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "state/Options.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>

TCheckList::TCheckList(QWidget* parent) : QListWidget(parent) {
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    // The list is always as high as its items need (its minimum size), so two columns
    // hold them all; a scroll bar would only take room from the last row.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setViewportMargins(0, topMargin, 0, 0); // the first row's check box clear of the frame
}

int TCheckList::rowHeight() const {
    return std::max(fontMetrics().height(), style()->pixelMetric(QStyle::PM_IndicatorHeight)) + 6;
}

QSize TCheckList::sizeHint() const {
    const int rows = (count() + 1) / 2;
    return {QListWidget::sizeHint().width(), rows * rowHeight() + 2 * frameWidth() + topMargin};
}

QSize TCheckList::minimumSizeHint() const {
    return {QListWidget::minimumSizeHint().width(), sizeHint().height()};
}

void TCheckList::resizeEvent(QResizeEvent* e) {
    QListWidget::resizeEvent(e);
    setGridSize(QSize(std::max(40, viewport()->width() / 2 - 1), rowHeight()));
}

namespace {

// The grid of a browser: moving (keys, a plain click) changes the current row only and
// drops the selection; rows are selected with Ctrl and Shift, by dragging the mouse and
// with the space bar, so the current row is never selected by itself.
class TDBGrid : public QTableView {
public:
    using QTableView::QTableView;

    // No search by typing: looking for the typed text (the space bar's blank too) would read
    // the journal row by row, every page of it, on the window thread.
    void keyboardSearch(const QString&) override {}

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override {
        const QItemSelectionModel::SelectionFlags command = QTableView::selectionCommand(index, event);
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        if (!event) // a move by program
            return command == QItemSelectionModel::NoUpdate ? command : QItemSelectionModel::Clear;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            modifiers = static_cast<const QMouseEvent*>(event)->modifiers();
            break;
        case QEvent::KeyPress: {
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space || key->key() == Qt::Key_Select)
                return command;
            modifiers = key->modifiers();
            break;
        }
        default:
            return command;
        }
        if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier))
            return command;
        return command == QItemSelectionModel::NoUpdate ? command : QItemSelectionModel::Clear;
    }
};

} // namespace

TResultBrowser::TResultBrowser(const TBrowserLook& look, QWidget* parent)
    : QDialog(parent), Table1(look.Kind, JournalFolder()), look_(look) {
    setWindowTitle(look.Caption);
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setProperty("HelpContext", 8);
    resize(980, 600);

    DBNavigator1 = new TDBNavigator({{TNavButton::First, "Первая запись"},
                                     {TNavButton::Prior, "Предыдущая запись"},
                                     {TNavButton::Next, "Следующая запись"},
                                     {TNavButton::Last, "Последняя запись"},
                                     {TNavButton::Delete, "Удалить запись"},
                                     {TNavButton::Refresh, "Обновить данные"}},
                                    this);
    DBNavigator1->setObjectName("DBNavigator1");
    connect(DBNavigator1, &TDBNavigator::Clicked, this, &TResultBrowser::NavigatorClick);

    BitBtn2 = new QToolButton(this);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    BitBtn2->setToolTip("Выбор по признаку");
    BitBtn1 = new QToolButton(this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setIcon(QIcon::fromTheme("document-print", ReportIcon()));
    BitBtn1->setToolTip("Отчет");
    bDelSelected = new QPushButton("Удалить выделенное", this);
    bDelSelected->setObjectName("bDelSelected");
    // Enter in a browser presses nothing: its only push button deletes.
    bDelSelected->setAutoDefault(false);
    bDelSelected->setDefault(false);
    connect(BitBtn1, &QToolButton::clicked, this, &TResultBrowser::BitBtn1Click);
    connect(BitBtn2, &QToolButton::clicked, this, &TResultBrowser::BitBtn2Click);
    connect(bDelSelected, &QPushButton::clicked, this, &TResultBrowser::bDelSelectedClick);

    DataSource1 = new TJournalModel(&Table1, this);
    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setModel(DataSource1);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DBGrid1->setWordWrap(false);
    DBGrid1->horizontalHeader()->setSectionsMovable(false);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    // Whole rows are selected here, never columns; yet the column titles ask, at every paint,
    // whether each column is selected, row by row. With rows of their own to ask about (none),
    // Ctrl+A over a million rows costs the titles nothing.
    DBGrid1->horizontalHeader()->setSelectionModel(
        new QItemSelectionModel(DataSource1, DBGrid1->horizontalHeader()));
    // Uniform rows: a million of them cost the header nothing per row.
    QHeaderView* rows = DBGrid1->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    rows->setFixedWidth(DBGrid1->fontMetrics().horizontalAdvance(QStringLiteral("▶")) + 10);
    rows->setDefaultAlignment(Qt::AlignCenter);
    if (!look.KeepsSelectionHighlight) {
        QPalette p = DBGrid1->palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Inactive, QPalette::Text));
        DBGrid1->setPalette(p);
    } else {
        QPalette p = DBGrid1->palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Active, QPalette::HighlightedText));
        DBGrid1->setPalette(p);
    }
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                DataSource1->SetCurrentRow(now.isValid() ? now.row() : -1);
                Table1AfterScroll();
            });

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    RichEdit1 = new QTextEdit(TabSheet1);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setReadOnly(true);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* t1 = new QVBoxLayout(TabSheet1);
    t1->setContentsMargins(2, 2, 2, 2);
    t1->addWidget(RichEdit1);
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    clbViewFields = new TCheckList(TabSheet2);
    clbViewFields->setObjectName("clbViewFields");
    auto* t2 = new QVBoxLayout(TabSheet2);
    t2->setContentsMargins(2, 2, 2, 2);
    t2->addWidget(clbViewFields);
    PageControl1->addTab(TabSheet1, look.CommentsTitle);
    PageControl1->addTab(TabSheet2, "Показать поля");
    PageControl1->setCurrentWidget(look.OpensOnComments ? TabSheet1 : TabSheet2);
    // As high as the check list needs to show every item; the grid takes the rest.
    PageControl1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(clbViewFields, &QListWidget::itemChanged, this, [this] { clbViewFieldsClickCheck(); });

    auto* top = new QHBoxLayout;
    top->addWidget(DBNavigator1);
    top->addSpacing(12);
    top->addWidget(BitBtn2);
    top->addWidget(BitBtn1);
    top->addSpacing(12);
    top->addWidget(bDelSelected);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(PageControl1);

    FormCreate();
    fitColumns();
}

TResultBrowser::~TResultBrowser() = default;

void TResultBrowser::FormCreate() {
    Table1.SelectedKeys.clear();
    Table1.FilterFlags = 0;
    const QSignalBlocker block(clbViewFields);
    clbViewFields->clear();
    const QList<TJournalColumn>& columns = Table1.Columns();
    for (int i = 0; i < columns.size(); ++i) {
        DBGrid1->setColumnHidden(i, !columns[i].Visible);
        auto* item = new QListWidgetItem(columns[i].Title, clbViewFields);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(DBGrid1->isColumnHidden(i) ? Qt::Unchecked : Qt::Checked);
    }
    clbViewFields->updateGeometry(); // its height follows the number of items
}

void TResultBrowser::fitColumns() {
    // Each column as wide as its title or its widest value, whichever is wider.
    const QFontMetrics header = DBGrid1->horizontalHeader()->fontMetrics();
    QFont bold = DBGrid1->font();
    bold.setBold(true);
    const QFontMetrics cell(DBGrid1->font());
    const QFontMetrics boldCell(bold);
    const QList<TJournalColumn>& columns = Table1.Columns();
    for (int i = 0; i < columns.size(); ++i) {
        const int field = Table1.FieldIndex(columns[i].Field);
        const TFieldDef def = Table1.Table().Fields().value(field);
        QString sample;
        if (def.Type == TFieldType::Date)
            sample = QStringLiteral("00.00.00");
        else if (def.Type == TFieldType::Time)
            sample = QStringLiteral("00:00");
        else
            sample = QString(std::min(def.Size, 13), QChar(u'0')); // a mechanic's number whole
        const int value = (columns[i].Bold ? boldCell : cell).horizontalAdvance(sample);
        DBGrid1->setColumnWidth(i, std::max(header.horizontalAdvance(columns[i].Title) + 24, value + 14));
    }
}

void TResultBrowser::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TResultBrowser::hideEvent(QHideEvent* e) {
    if (!e->spontaneous())
        FormClose();
    QDialog::hideEvent(e);
}

void TResultBrowser::FormShow() {
    openTable(true);
    reload(0);
}

void TResultBrowser::openTable(bool tell) {
    openError_.clear();
    // Before the first result there is no table: an empty journal, not an error.
    if (Table1.Active() || Table1.NotMadeYet())
        return;
    try {
        Table1.Open();
    } catch (const std::exception& e) {
        openError_ = ExceptionText(e);
        if (tell)
            MessageDlg("Не удается прочитать данные: " + openError_, TMsgDlgType::Error, mbOK, this);
    }
}

void TResultBrowser::FormClose() {
    try {
        Table1.Close();
    } catch (const std::exception& e) {
        MessageDlg(ExceptionText(e), TMsgDlgType::Error, mbOK, this);
    }
    DataSource1->Reload();
}

void TResultBrowser::reload(int keepRow) {
    DataSource1->Reload();
    const int count = DataSource1->rowCount();
    if (count > 0)
        SetCurrentRow(std::clamp(keepRow, 0, count - 1));
    else
        Table1AfterScroll();
}

int TResultBrowser::CurrentRow() const {
    const QModelIndex current = DBGrid1->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TResultBrowser::SetCurrentRow(int row) {
    const QModelIndex index = DataSource1->index(row, std::max(0, DBGrid1->currentIndex().column()));
    DBGrid1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    DBGrid1->scrollTo(index);
}

QList<int> TResultBrowser::SelectedRows() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : DBGrid1->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.append(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TResultBrowser::Table1AfterScroll() {
    if (frozen_)
        return;
    const bool self = look_.Kind == TJournalKind::SelfTest;
    if (self && !RichEdit1->isEnabled())
        return;
    if (DataSource1->rowCount() < 1) {
        RichEdit1->clear();
        return;
    }
    if (!RichEdit1->isEnabled())
        return;
    const int row = CurrentRow();
    WriteResultLines(row < 0 ? QList<TResultLine>{} : Table1.Comments(DataSource1->Row(row)),
                     RichEdit1->document());
}

void TResultBrowser::clbViewFieldsClickCheck() {
    for (int i = 0; i < clbViewFields->count(); ++i)
        DBGrid1->setColumnHidden(i, clbViewFields->item(i)->checkState() != Qt::Checked);
}

void TResultBrowser::NavigatorClick(TNavButton button) {
    if (frozen_)
        return;
    const int count = DataSource1->rowCount();
    const int row = CurrentRow();
    try {
        switch (button) {
        case TNavButton::First:
            if (count > 0)
                SetCurrentRow(0);
            break;
        case TNavButton::Prior:
            if (row > 0)
                SetCurrentRow(row - 1);
            break;
        case TNavButton::Next:
            if (row + 1 < count)
                SetCurrentRow(row + 1);
            break;
        case TNavButton::Last:
            if (count > 0)
                SetCurrentRow(count - 1);
            break;
        case TNavButton::Delete:
            if (row < 0 || MessageDlg("Delete record?", TMsgDlgType::Confirmation, mbOK | mbCancel, this,
                                      mbCancel) != mrOk)
                break;
            Table1.DeleteRows({DataSource1->RowId(row)});
            reload(row);
            break;
        case TNavButton::Refresh: {
            if (!Table1.Active()) { // made or mended since the window was shown
                openTable(true);
                reload(0);
                break;
            }
            const qint64 id = DataSource1->RowId(row);
            DataSource1->Reload();
            reload(std::max(0, Table1.Rows().PositionOf(id)));
            break;
        }
        default:
            break;
        }
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
}

TRowSelection GridSelection(QTableView* grid) {
    TRowSelection selection;
    auto* model = qobject_cast<TJournalModel*>(grid->model());
    if (!model)
        return selection;
    QList<std::pair<int, int>> spans;
    for (const QItemSelectionRange& range : grid->selectionModel()->selection())
        spans.append({range.top(), range.bottom()});
    std::sort(spans.begin(), spans.end());
    TPagedRows& rows = model->Journal()->Rows();
    selection.Filter = rows.Filter();
    // The grid shows the rows its filter passes in rowid order: the rows between two selected
    // ones are those with a rowid between theirs.
    for (qsizetype i = 0; i < spans.size();) {
        auto [top, bottom] = spans[i];
        for (++i; i < spans.size() && spans[i].first <= bottom + 1; ++i)
            bottom = std::max(bottom, spans[i].second);
        const qint64 first = rows.RowId(top);
        const qint64 last = rows.RowId(bottom);
        if (first >= 0 && last >= first)
            selection.Runs.append({first, last, bottom - top + 1});
    }
    return selection;
}

namespace {

// A progress dialog over the window that asked for walks; it shows itself when they take more
// than a moment.
class TWalkProgress : public QProgressDialog {
public:
    TWalkProgress(const QString& caption, QWidget* window) : QProgressDialog(window) {
        setObjectName("SelectionProgress");
        setWindowTitle(caption);
        setWindowModality(Qt::WindowModal);
        setCancelButton(nullptr);
        setAutoClose(false);
        setAutoReset(false);
        setMinimumDuration(300);
    }
    ~TWalkProgress() override { close(); }

    // Runs a walk one slice per turn of the event loop. Raises what a slice raised.
    void Run(TSelectionWalk& walk, const QString& what) {
        const auto tell = [&] {
            setLabelText(QStringLiteral("%1: %2 из %3").arg(what).arg(walk.Done()).arg(walk.Total()));
            setValue(walk.Done());
        };
        setRange(0, std::max(1, walk.Total()));
        tell();
        QEventLoop loop;
        std::exception_ptr error;
        QTimer slice;
        slice.setInterval(0);
        QObject::connect(&slice, &QTimer::timeout, &loop, [&] {
            try {
                if (!walk.Step()) {
                    loop.quit();
                    return;
                }
            } catch (...) {
                error = std::current_exception();
                loop.quit();
                return;
            }
            tell();
        });
        slice.start();
        loop.exec();
        slice.stop();
        if (error)
            std::rethrow_exception(error);
    }
};

} // namespace

int DeleteSelectedRows(QTableView* grid) {
    auto* model = qobject_cast<TJournalModel*>(grid->model());
    if (!model || MessageDlg("Вы дествительно хотите удалить все выделенные строки?", TMsgDlgType::Warning,
                             mbYes | mbNo, grid->window(), mbNo) != mrYes)
        return 0;
    std::unique_ptr<TSelectionWalk> walk;
    try {
        walk = model->Journal()->DeleteSelection(GridSelection(grid));
        TWalkProgress(QStringLiteral("Удаление"), grid->window())
            .Run(*walk, QStringLiteral("Удаление выделенных строк"));
        return walk->Done();
    } catch (const std::exception& e) {
        // Each slice goes whole or not at all: the slices before the failed one are gone.
        const int gone = walk ? walk->Done() : 0;
        ShowError(ExceptionText(e) +
                      (gone > 0 ? QStringLiteral("\nУдалено строк: %1 из %2.").arg(gone).arg(walk->Total())
                                : QString()),
                  grid->window());
        return gone;
    }
}

void TResultBrowser::bDelSelectedClick() {
    if (frozen_)
        return;
    const int row = CurrentRow();
    // While the rows go a slice at a time the browser's buttons wait.
    frozen_ = true;
    const int gone = DeleteSelectedRows(DBGrid1);
    frozen_ = false;
    if (gone > 0)
        reload(row);
}

int TResultBrowser::execOver(QDialog* dialog) {
    // The selection and report dialogs serve both browsers and live as long as the run, with
    // the main window. While one is open it belongs to the browser that asked: it stands in
    // the middle of it, and when it closes the browser, not the main window, comes to the front.
    QWidget* owner = dialog->parentWidget();
    const Qt::WindowFlags flags = dialog->windowFlags();
    dialog->setParent(this, flags); // a dialog shows centred on its parent
    const auto back = qScopeGuard([&] {
        dialog->setParent(owner, flags);
        if (isVisible()) {
            raise();
            activateWindow();
        }
    });
    return dialog->exec();
}

void TResultBrowser::BitBtn2Click() {
    if (frozen_)
        return;
    // From the first selection on, dates read day, month and two-digit year.
    UseShortDateFormatDdMmYy();
    FSelectDlg->Tag = look_.SelectTag;
    if (execOver(FSelectDlg) != QDialog::Accepted)
        return;
    if (look_.Kind == TJournalKind::RadioTest) {
        if (FSelectDlg->CheckBox1->isChecked()) {
            QString loco = FSelectDlg->Edit1->text();
            while (loco.size() < 7)
                loco.prepend(u'0');
            Table1.LocoFilter = loco;
            Table1.FilterFlags |= FilterLoco;
        } else {
            Table1.FilterFlags &= ~uint32_t(FilterLoco);
        }
    }
    if (FSelectDlg->CheckBox2->isChecked()) {
        Table1.DateFrom = FSelectDlg->DateTime1();
        Table1.DateTo = FSelectDlg->DateTime2();
        Table1.FilterFlags |= FilterDates;
    } else {
        Table1.FilterFlags &= ~uint32_t(FilterDates);
    }
    Table1.ApplyFilter();
    reload(0);
}

void TResultBrowser::BitBtn1Click() {
    if (frozen_)
        return;
    if (!Table1.Active()) { // made since the window was shown? The grid shows what the report takes.
        openTable(false);
        reload(0);
    }
    if (!Table1.Active() && !Table1.NotMadeYet()) {
        ShowError(QStringLiteral("Отчет не построен: таблица %1 не открыта.")
                          .arg(QFileInfo(Table1.Table().FilePath()).fileName()) +
                      (openError_.isEmpty() ? QString() : u'\n' + openError_),
                  this);
        return;
    }
    const bool selected = DBGrid1->selectionModel()->hasSelection();
    if (!selected)
        Form2->RadioGroup1->SetItemIndex(0);
    Form2->RadioGroup1->setEnabled(selected);
    if (execOver(Form2) != QDialog::Accepted)
        return;

    // While the report is made and previewed the grid and the comments stay as they are.
    frozen_ = true;
    RichEdit1->setEnabled(false);
    const auto thaw = qScopeGuard([this] {
        Table1.FilterFlags &= ~uint32_t(FilterSelected);
        frozen_ = false;
        RichEdit1->setEnabled(true);
    });
    try {
        // The selection is kept as runs of rows; only a report of the selected rows gathers
        // their moments, a slice at a time.
        Table1.SetSelection(GridSelection(DBGrid1));
        Table1.AllRecords = Form2->RadioGroup1->ItemIndex() == 0;
        Table1.FilterFlags |= FilterSelected;
        if (!Table1.AllRecords) {
            TWalkProgress progress(QStringLiteral("Отчет"), this);
            progress.Run(*Table1.GatherSelectedKeys(), QStringLiteral("Отбор выделенных строк"));
            // The report's rows are counted here too, in slices of the rows the grid shows.
            const int shown = Table1.Rows().Count();
            progress.Run(
                *Table1.CountReportRows({Table1.Rows().RowId(0), Table1.Rows().RowId(shown - 1), shown}),
                QStringLiteral("Подсчет строк отчета"));
        }
        TReportData data;
        for (const TFieldDef& f : Table1.Table().Fields())
            data.Columns.append(f.Name);
        data.Source = Table1.ReportRows(); // read a page at a time: a report of any size
        const bool expanded = Form2->RadioGroup2->ItemIndex() == 1;
        TResultReport* report = CreateReport(expanded, std::move(data));
        PreviewReport(*report->QuickRep1, this);
        // A compact form goes when its preview is closed; an expanded one stays with the browser.
        if (!expanded)
            delete report;
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
}
