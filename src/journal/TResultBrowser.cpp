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
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

TCheckList::TCheckList(QWidget* parent) : QListWidget(parent) {
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
}

void TCheckList::resizeEvent(QResizeEvent* e) {
    QListWidget::resizeEvent(e);
    setGridSize(QSize(std::max(40, viewport()->width() / 2 - 1), fontMetrics().height() + 6));
}

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
    connect(BitBtn1, &QToolButton::clicked, this, &TResultBrowser::BitBtn1Click);
    connect(BitBtn2, &QToolButton::clicked, this, &TResultBrowser::BitBtn2Click);
    connect(bDelSelected, &QPushButton::clicked, this, &TResultBrowser::bDelSelectedClick);

    DataSource1 = new TJournalModel(&Table1, this);
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setModel(DataSource1);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DBGrid1->setWordWrap(false);
    DBGrid1->horizontalHeader()->setSectionsMovable(false);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
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
    // Room for the longest check list, ten lines of two columns.
    PageControl1->setFixedHeight(10 * (fontMetrics().height() + 6) +
                                 PageControl1->tabBar()->sizeHint().height() + 14);
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
    try {
        Table1.Open();
    } catch (const std::exception& e) {
        MessageDlg("Не удается прочитать данные:" + ExceptionText(e), TMsgDlgType::Error, mbOK, this);
    }
    reload(0);
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
    DBGrid1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
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
            if (row < 0 ||
                MessageDlg("Delete record?", TMsgDlgType::Confirmation, mbOK | mbCancel, this) != mrOk)
                break;
            Table1.DeleteRows({DataSource1->RowId(row)});
            reload(row);
            break;
        case TNavButton::Refresh: {
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

int DeleteSelectedRows(QTableView* grid) {
    auto* model = qobject_cast<TJournalModel*>(grid->model());
    if (!model || MessageDlg("Вы дествительно хотите удалить все выделенные строки?", TMsgDlgType::Warning,
                             mbYes | mbNo, grid->window()) != mrYes)
        return 0;
    try {
        QList<qint64> ids;
        for (const QItemSelectionRange& range : grid->selectionModel()->selection())
            ids += model->Journal()->Rows().RowIds(range.top(), range.height());
        return model->Journal()->DeleteRows(ids);
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), grid->window());
        return 0;
    }
}

void TResultBrowser::bDelSelectedClick() {
    if (frozen_)
        return;
    const int row = CurrentRow();
    if (DeleteSelectedRows(DBGrid1) > 0)
        reload(row);
}

void TResultBrowser::BitBtn2Click() {
    // From the first selection on, dates read day, month and two-digit year.
    UseShortDateFormatDdMmYy();
    FSelectDlg->Tag = look_.SelectTag;
    if (FSelectDlg->exec() != QDialog::Accepted)
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
    const QList<int> selected = SelectedRows();
    if (selected.isEmpty())
        Form2->RadioGroup1->SetItemIndex(0);
    Form2->RadioGroup1->setEnabled(!selected.isEmpty());
    if (Form2->exec() != QDialog::Accepted)
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
        QList<qint64> ids;
        for (int row : selected)
            ids.append(DataSource1->RowId(row));
        Table1.SetSelectedRowIds(ids);
        Table1.FilterFlags |= FilterSelected;
        Table1.AllRecords = Form2->RadioGroup1->ItemIndex() == 0;
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
