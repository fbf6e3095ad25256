#include "journal/ResultReports.h"

#include "platform/Clock.h"
#include "platform/DateFormat.h"

#include <QRegularExpression>
#include <QTextDocument>

TFReport* FReport = nullptr;
TFReportR1* FReportR1 = nullptr;
TFReport23* FReport23 = nullptr;
TFReportR2* FReportR2 = nullptr;

namespace {
constexpr double lineH = 5.2; // mm, one line of 10-point text in the expanded blocks
} // namespace

QString PrintedAtText(const QDateTime& moment) {
    return FormatDateTime(QStringLiteral("Распечатано dd/mm/yy в hh:nn"), moment);
}

TReportForm::TReportForm(QObject* owner, TReportData data, bool landscape)
    : QObject(owner), QuickRep1(std::make_unique<TReport>()) {
    TReport& r = *QuickRep1;
    r.PageLayout.setOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    r.Font = QFont(QStringLiteral("Arial"), 10);
    r.PrintIfEmpty = true;
    r.Data = std::move(data);
    r.OnStartPage = [this](int) { QuickRep1StartPage(); };

    TReportBand* header = r.AddBand(TBandKind::PageHeader, 8);
    PageNumber = header->AddPageNumber(QStringLiteral("Страница:%1"), QRectF(0, 0, Width(), 6));
    PageNumber->Align = Qt::AlignCenter;
    // The printed-at line stands at the right end of a landscape page, right of the centre
    // of a portrait one.
    PrintedAt = header->AddLabel(QString(), landscape ? QRectF(Width() - 75, 0, 75, 6)
                                                      : QRectF(Width() / 2 + 18, 0, 75, 6));
    if (landscape)
        PrintedAt->Align = Qt::AlignRight | Qt::AlignVCenter;

    TReportBand* title = r.AddBand(TBandKind::Title, 11);
    QRLabel1 = Caption(title, QString(), 0, 1, Width(), 8, false, true);
    QRLabel1->Align = Qt::AlignCenter;
}

TReportForm::~TReportForm() = default;

double TReportForm::Width() const {
    return QuickRep1->PageLayout.paintRect(QPageLayout::Millimeter).width();
}

void TReportForm::QuickRep1StartPage() {
    PrintedAt->Text = PrintedAtText(Clock().Now());
}

TResultReport::TResultReport(QObject* owner, TJournalKind kind, TReportData data, bool landscape)
    : TReportForm(owner, std::move(data), landscape), kind_(kind) {
    QRSysData2 = PageNumber;
    QRSysData2->Name = "QRSysData2";
    FieldFormat = [kind](const QVariant& v) { return TResultJournal::DisplayValue(kind, v); };
}

TReportLabel* TReportForm::Caption(TReportBand* band, const QString& text, double x, double y, double w,
                                   double h, bool italic, bool bold, bool underline, double points) {
    TReportLabel* l = band->AddLabel(text, QRectF(x, y, w, h));
    l->Font.setItalic(italic);
    l->Font.setBold(bold);
    l->Font.setUnderline(underline);
    if (points > 0)
        l->Font.setPointSizeF(points);
    return l;
}

TReportDataField* TReportForm::Field(TReportBand* band, const QString& field, double x, double y, double w,
                                     double h, bool bold, double points) {
    TReportDataField* f = band->AddField(field, QRectF(x, y, w, h));
    f->Font.setBold(bold);
    if (points > 0)
        f->Font.setPointSizeF(points);
    if (FieldFormat)
        f->Format = FieldFormat;
    return f;
}

TReportBand* TResultReport::CompactBands(const QList<TCompactColumn>& columns) {
    TReportBand* head = QuickRep1->AddBand(TBandKind::ColumnHeader, 11);
    head->Frame = FrameTop | FrameBottom;
    head->Name = "QRBand1";
    TReportBand* detail = QuickRep1->AddBand(TBandKind::Detail, 5.5);
    detail->Frame = FrameBottom;
    detail->Name = "QRBand2";
    for (const TCompactColumn& c : columns) {
        // Two-line captions break at their blank, or after a hyphen within a word ("Локомо-тив"),
        // however wide the column.
        QString caption = QString::fromUtf8(c.Caption);
        caption.replace(QRegularExpression(QStringLiteral("-(?=\\S)")), QStringLiteral("-\n"));
        TReportLabel* l = Caption(head, caption, c.X, 0.5, c.W, 10, true, c.Bold);
        l->WordWrap = true;
        Field(detail, QString::fromLatin1(c.Field), c.X, 0, c.W, 5.5, c.Bold);
    }
    return head;
}

void TResultReport::GroupCaption(const QString& text, double x, double w, const QStringList& subs,
                                 double points) {
    TReportBand* head = QuickRep1->Band(TBandKind::ColumnHeader);
    Caption(head, text, x, 0.5, w, 5, true, false, false, points)->Align = Qt::AlignCenter;
    for (int i = 0; i < subs.size(); ++i)
        Caption(head, subs[i], x + i * w / subs.size(), 5.5, w / subs.size(), 5, true, false, false, points)
            ->Align = Qt::AlignCenter;
}

void TResultReport::SubFields(const QStringList& fields, double x, double w, double points) {
    TReportBand* detail = QuickRep1->Band(TBandKind::Detail);
    for (int i = 0; i < fields.size(); ++i)
        Field(detail, fields[i], x + i * w / fields.size(), 0, w / fields.size(), 5.5, false, points)->Align =
            Qt::AlignCenter;
}

TReportBand* TResultReport::ExpandedBlock(double boxW, double boxH) {
    TReportBand* block = QuickRep1->AddBand(TBandKind::Detail, lineH + boxH + 1.5);
    block->Frame = FrameTop | FrameBottom;
    block->Name = "QRBand2";
    Pair(block, 1, 0, "Дата, время:", 25, "Date", 17);
    Field(block, "Time", 44, Line(1), 14, lineH);
    Pair(block, 2, 0, "Механик:", 18, "Mehanik", 40);
    Caption(block, "Результат:", 138, Line(1), 22, lineH, true, false, true);
    Field(block, "ResultWord", 161, Line(1), 34, lineH, true);
    // The comments box: fixed size, the lines beyond it are not printed.
    QRRichText1 = block->AddRichText(QRectF(138, lineH, boxW, boxH));
    QRRichText1->Font = QFont(QStringLiteral("Arial"), 8);
    QRRichText1->Name = "QRRichText1";
    RichEdit1 = QRRichText1->Document();
    block->BeforePrint = [this](TReportBand&, const TReportContext& c) { return QRBand2BeforePrint(c); };
    return block;
}

bool TResultReport::QRBand2BeforePrint(const TReportContext& context) {
    // A block prints only for a row, so there always is one here. The same comments as the browser shows for
    // the row, from the row alone.
    const auto text = [&](const char* field) { return context.Value(QString::fromLatin1(field)).toString(); };
    WriteResultLines(kind_ == TJournalKind::SelfTest ? SelfTestRowLines(text("ResultCod"), text("reserv"))
                                                     : RadioTestRowLines(text("Event"), text("ResultCod")),
                     RichEdit1);
    return true;
}

double TResultReport::Line(int n) {
    return 0.5 + (n - 1) * lineH;
}

void TResultReport::Pair(TReportBand* block, int line, double x, const QString& caption, double w,
                         const QString& field, double fw) {
    Caption(block, caption, x, Line(line), w, lineH, false, false, true);
    Field(block, field, x + w + 1, Line(line), fw, lineH);
}

TFReport::TFReport(QObject* owner, TReportData data)
    : TResultReport(owner, TJournalKind::SelfTest, std::move(data), true) {
    setObjectName("FReport");
    QRLabel14 = PrintedAt;
    QRLabel14->Name = "QRLabel14";
    QRLabel1->Text = "Результаты тестирования ВЕСК-4Т";
    TReportBand* head = CompactBands({{"Дата, время", "Date", 0, 17},
                                      {"", "Time", 18, 16},
                                      {"Режим", "Event", 36, 22},
                                      {"Механик", "Mehanik", 60, 32},
                                      {"Итог", "ResultWord", 94, 20, true},
                                      {"   Код ошибки", "ResultCod", 116, 18},
                                      {"Служебное     слово", "ToolWord", 136, 24}});
    head->Items().front()->Rect.setWidth(34); // "Дата, время" stands over both
    GroupCaption("Номера частот каналов МВ", 162, 72, {"ПРМ-1", "ПРД-1", "ПРМ-2", "ПРД-2", "ПРМ-3", "ПРД-3"},
                 8);
    SubFields({"PrmMv1", "PrdMv1", "PrmMv2", "PrdMv2", "PrmMv3", "PrdMv3"}, 162, 72, 0);
    // Upper, then lower threshold of each band.
    GroupCaption("Пороги девиации", 236, 44, {"М", "Г"}, 8);
    SubFields({"DeviacM", "DeviacM2", "DeviacG", "DeviacG2"}, 236, 44, 8);
}

TFReport23::TFReport23(QObject* owner, TReportData data)
    : TResultReport(owner, TJournalKind::RadioTest, std::move(data), true) {
    setObjectName("FReport23");
    QRLabel14 = PrintedAt;
    QRLabel14->Name = "QRLabel14";
    QRLabel1->Text = "Результаты тестирования локомотивных радиостанций ";
    CompactBands({{"Дата", "Date", 0, 20},
                  {"Время", "Time", 22, 16},
                  {"Режим", "Event", 40, 22},
                  {"Направ- ление", "Direction", 64, 22},
                  {"Механик", "Mehanik", 88, 32},
                  {"Поезд", "Train", 122, 16},
                  {"Локомо-тив", "Loko", 140, 20},
                  {"Итог", "ResultWord", 162, 16, true},
                  {"   Код ошибки", "ResultCod", 180, 18}});
    GroupCaption("Девиация", 200, 26, {"М", "Г"}, 0);
    SubFields({"DeviacM", "DeviacG"}, 200, 26, 0);
    GroupCaption("Прием сообщений", 230, 50, {"МВ", "ГМВ"}, 0);
    SubFields({"MesM", "MesG"}, 230, 50, 0);
}

TFReportR1::TFReportR1(QObject* owner, TReportData data)
    : TResultReport(owner, TJournalKind::SelfTest, std::move(data), false) {
    setObjectName("FReportR1");
    QRLabel3 = PrintedAt;
    QRLabel3->Name = "QRLabel3";
    QRLabel1->Text = "Результаты тестирования ВЕСК-4Т";
    TReportBand* block = ExpandedBlock(57.4, 47.9);
    Pair(block, 3, 0, "Режим:", 14, "Event", 30);
    Pair(block, 4, 0, "Код результата:", 31, "ResultCod", 20);
    Pair(block, 5, 0, "Служебное слово:", 37, "ToolWord", 22);
    Caption(block, "Номера частот каналов МВ:", 0, Line(6), 60, lineH, false, false, true);
    for (int i = 1; i <= 3; ++i) {
        Caption(block, QString("%1: ПРМ=").arg(i), 4, Line(6 + i), 16, lineH);
        Field(block, QString("PrmMv%1").arg(i), 20, Line(6 + i), 10, lineH);
        Caption(block, "ПРД=", 31, Line(6 + i), 12, lineH);
        Field(block, QString("PrdMv%1").arg(i), 44, Line(6 + i), 10, lineH);
    }
    Caption(block, "Пороги девиации :", 80, Line(1), 40, lineH, false, false, true);
    Caption(block, "Верхний", 92, Line(2), 18, lineH, false, false, true);
    Caption(block, "Нижний", 112, Line(2), 18, lineH, false, false, true);
    Pair(block, 4, 80, "МВ:", 11, "DeviacM", 10);
    Field(block, "DeviacM2", 116, Line(4), 10, lineH);
    Pair(block, 5, 80, "ГМВ:", 11, "DeviacG", 10);
    Field(block, "DeviacG2", 116, Line(5), 10, lineH);
}

TFReportR2::TFReportR2(QObject* owner, TReportData data)
    : TResultReport(owner, TJournalKind::RadioTest, std::move(data), false) {
    setObjectName("FReportR2");
    QRLabel16 = PrintedAt;
    QRLabel16->Name = "QRLabel16";
    QRLabel1->Text = "Результаты тестирования локомотвных радиостанций ";
    TReportBand* block = ExpandedBlock(55.3, 32.0);
    Pair(block, 3, 0, "Режим :", 15, "Event", 25);
    Pair(block, 4, 0, "Направление :", 28, "Direction", 22);
    Pair(block, 5, 0, "Поезд:", 14, "Train", 14);
    Pair(block, 6, 0, "Локомотив:", 22, "Loko", 22);
    Pair(block, 1, 62, "Код результата:", 31, "ResultCod", 20);
    Pair(block, 2, 62, "Девиация ( М,Г):", 33, "DeviacM", 8);
    Field(block, "DeviacG", 105, Line(2), 8, lineH);
    Pair(block, 3, 62, "Сообщения МВ:", 30, "MesM", 16);
    Pair(block, 4, 62, "Сообщения ГМВ:", 32, "MesG", 16);
}

TFReport::~TFReport() {
    if (FReport == this)
        FReport = nullptr;
}

TFReportR1::~TFReportR1() {
    if (FReportR1 == this)
        FReportR1 = nullptr;
}

TFReport23::~TFReport23() {
    if (FReport23 == this)
        FReport23 = nullptr;
}

TFReportR2::~TFReportR2() {
    if (FReportR2 == this)
        FReportR2 = nullptr;
}
