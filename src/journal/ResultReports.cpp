#include "journal/ResultReports.h"

#include "platform/Clock.h"
#include "platform/DateFormat.h"

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
    : TReportForm(owner, std::move(data), landscape) {
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

TFReport::TFReport(QObject* owner, TReportData data)
    : TResultReport(owner, TJournalKind::SelfTest, std::move(data), true) {
    setObjectName("FReport");
    QRLabel14 = PrintedAt;
    QRLabel14->Name = "QRLabel14";
    QRLabel1->Text = "Результаты тестирования ВЕСК-4Т";

    TReportBand* head = QuickRep1->AddBand(TBandKind::ColumnHeader, 11);
    head->Frame = FrameTop | FrameBottom;
    head->Name = "QRBand1";
    const auto caption = [&](const QString& text, double x, double w, bool bold = false) {
        TReportLabel* l = Caption(head, text, x, 0.5, w, 10, true, bold);
        l->WordWrap = true;
        return l;
    };
    caption("Дата, время", 0, 34);
    caption("Режим", 36, 22);
    caption("Механик", 60, 32);
    caption("Итог", 94, 20, true);
    caption("   Код ошибки", 116, 18);
    caption("Служебное     слово", 136, 24);
    Caption(head, "Номера частот каналов МВ", 162, 0.5, 72, 5, true, false, false, 8)->Align =
        Qt::AlignCenter;
    const char* channels[6] = {"ПРМ-1", "ПРД-1", "ПРМ-2", "ПРД-2", "ПРМ-3", "ПРД-3"};
    for (int i = 0; i < 6; ++i)
        Caption(head, channels[i], 162 + i * 12, 5.5, 12, 5, true, false, false, 8);
    Caption(head, "Пороги девиации", 236, 0.5, 44, 5, true, false, false, 8)->Align = Qt::AlignCenter;
    Caption(head, "М", 236, 5.5, 22, 5, true, false, false, 8)->Align = Qt::AlignCenter;
    Caption(head, "Г", 258, 5.5, 22, 5, true, false, false, 8)->Align = Qt::AlignCenter;

    TReportBand* detail = QuickRep1->AddBand(TBandKind::Detail, 5.5);
    detail->Frame = FrameBottom;
    detail->Name = "QRBand2";
    Field(detail, "Date", 0, 0, 17, 5.5);
    Field(detail, "Time", 18, 0, 15, 5.5);
    Field(detail, "Event", 36, 0, 22, 5.5);
    Field(detail, "Mehanik", 60, 0, 32, 5.5);
    Field(detail, "ResultWord", 94, 0, 20, 5.5, true);
    Field(detail, "ResultCod", 116, 0, 18, 5.5);
    Field(detail, "ToolWord", 136, 0, 24, 5.5);
    const char* numbers[6] = {"PrmMv1", "PrdMv1", "PrmMv2", "PrdMv2", "PrmMv3", "PrdMv3"};
    for (int i = 0; i < 6; ++i)
        Field(detail, numbers[i], 162 + i * 12, 0, 12, 5.5);
    // Upper, then lower threshold of each band.
    Field(detail, "DeviacM", 238, 0, 9, 5.5, false, 8);
    Field(detail, "DeviacM2", 248, 0, 9, 5.5, false, 8);
    Field(detail, "DeviacG", 260, 0, 9, 5.5, false, 8);
    Field(detail, "DeviacG2", 270, 0, 9, 5.5, false, 8);
}

TFReport23::TFReport23(QObject* owner, TReportData data)
    : TResultReport(owner, TJournalKind::RadioTest, std::move(data), true) {
    setObjectName("FReport23");
    QRLabel14 = PrintedAt;
    QRLabel14->Name = "QRLabel14";
    QRLabel1->Text = "Результаты тестирования локомотивных радиостанций ";

    TReportBand* head = QuickRep1->AddBand(TBandKind::ColumnHeader, 11);
    head->Frame = FrameTop | FrameBottom;
    head->Name = "QRBand1";
    const auto caption = [&](const QString& text, double x, double w, bool bold = false) {
        TReportLabel* l = Caption(head, text, x, 0.5, w, 10, true, bold);
        l->WordWrap = true;
        return l;
    };
    caption("Дата", 0, 20);
    caption("Время", 22, 16);
    caption("Режим", 40, 22);
    caption("Направ- ление", 64, 22);
    caption("Механик", 88, 32);
    caption("Поезд", 122, 16);
    caption("Локомо-тив", 140, 20);
    caption("Итог", 162, 16, true);
    caption("   Код ошибки", 180, 18);
    Caption(head, "Девиация", 200, 0.5, 26, 5, true)->Align = Qt::AlignCenter;
    Caption(head, "М", 200, 5.5, 13, 5, true)->Align = Qt::AlignCenter;
    Caption(head, "Г", 213, 5.5, 13, 5, true)->Align = Qt::AlignCenter;
    Caption(head, "Прием сообщений", 230, 0.5, 50, 5, true)->Align = Qt::AlignCenter;
    Caption(head, "МВ", 230, 5.5, 25, 5, true)->Align = Qt::AlignCenter;
    Caption(head, "ГМВ", 255, 5.5, 25, 5, true)->Align = Qt::AlignCenter;

    TReportBand* detail = QuickRep1->AddBand(TBandKind::Detail, 5.5);
    detail->Frame = FrameBottom;
    detail->Name = "QRBand2";
    Field(detail, "Date", 0, 0, 20, 5.5);
    Field(detail, "Time", 22, 0, 16, 5.5);
    Field(detail, "Event", 40, 0, 22, 5.5);
    Field(detail, "Direction", 64, 0, 22, 5.5);
    Field(detail, "Mehanik", 88, 0, 32, 5.5);
    Field(detail, "Train", 122, 0, 16, 5.5);
    Field(detail, "Loko", 140, 0, 20, 5.5);
    Field(detail, "ResultWord", 162, 0, 16, 5.5, true);
    Field(detail, "ResultCod", 180, 0, 18, 5.5);
    Field(detail, "DeviacM", 200, 0, 13, 5.5)->Align = Qt::AlignCenter;
    Field(detail, "DeviacG", 213, 0, 13, 5.5)->Align = Qt::AlignCenter;
    Field(detail, "MesM", 230, 0, 25, 5.5)->Align = Qt::AlignCenter;
    Field(detail, "MesG", 255, 0, 25, 5.5)->Align = Qt::AlignCenter;
}

namespace {
// The comments box of an expanded block: fixed size, lines beyond it are not printed.
TReportRichText* CommentsBox(TReportBand* band, double x, double w, double h) {
    TReportRichText* box = band->AddRichText(QRectF(x, lineH, w, h));
    box->Font = QFont(QStringLiteral("Arial"), 8);
    box->Name = "QRRichText1";
    return box;
}
} // namespace

TFReportR1::TFReportR1(QObject* owner, TReportData data)
    : TResultReport(owner, TJournalKind::SelfTest, std::move(data), false) {
    setObjectName("FReportR1");
    QRLabel3 = PrintedAt;
    QRLabel3->Name = "QRLabel3";
    QRLabel1->Text = "Результаты тестирования ВЕСК-4Т";

    TReportBand* block = QuickRep1->AddBand(TBandKind::Detail, lineH + 47.9 + 1.5);
    block->Frame = FrameTop | FrameBottom;
    block->Name = "QRBand2";
    const auto line = [](int n) { return 0.5 + (n - 1) * lineH; };
    const auto pair = [&](int n, const QString& caption, double w, const QString& field, double fw) {
        Caption(block, caption, 0, line(n), w, lineH, false, false, true);
        Field(block, field, w + 1, line(n), fw, lineH);
    };
    Caption(block, "Дата, время:", 0, line(1), 25, lineH, false, false, true);
    Field(block, "Date", 26, line(1), 17, lineH);
    Field(block, "Time", 44, line(1), 14, lineH);
    pair(2, "Механик:", 18, "Mehanik", 40);
    pair(3, "Режим:", 14, "Event", 30);
    pair(4, "Код результата:", 31, "ResultCod", 20);
    pair(5, "Служебное слово:", 34, "ToolWord", 22);
    Caption(block, "Номера частот каналов МВ:", 0, line(6), 60, lineH, false, false, true);
    for (int i = 1; i <= 3; ++i) {
        Caption(block, QString("%1: ПРМ=").arg(i), 4, line(6 + i), 16, lineH);
        Field(block, QString("PrmMv%1").arg(i), 20, line(6 + i), 10, lineH);
        Caption(block, "ПРД=", 31, line(6 + i), 10, lineH);
        Field(block, QString("PrdMv%1").arg(i), 41, line(6 + i), 10, lineH);
    }
    Caption(block, "Пороги девиации :", 80, line(1), 40, lineH, false, false, true);
    Caption(block, "Верхний", 92, line(2), 18, lineH, false, false, true);
    Caption(block, "Нижний", 112, line(2), 18, lineH, false, false, true);
    Caption(block, "МВ:", 80, line(4), 11, lineH, false, false, true);
    Field(block, "DeviacM", 96, line(4), 10, lineH);
    Field(block, "DeviacM2", 116, line(4), 10, lineH);
    Caption(block, "ГМВ:", 80, line(5), 11, lineH, false, false, true);
    Field(block, "DeviacG", 96, line(5), 10, lineH);
    Field(block, "DeviacG2", 116, line(5), 10, lineH);
    Caption(block, "Результат:", 138, line(1), 22, lineH, true, false, true);
    Field(block, "ResultWord", 161, line(1), 34, lineH, true);
    QRRichText1 = CommentsBox(block, 138, 57.4, 47.9);
    RichEdit1 = QRRichText1->Document();
    block->BeforePrint = [this](TReportBand&, const TReportContext& c) { return QRBand2BeforePrint(c); };
}

bool TFReportR1::QRBand2BeforePrint(const TReportContext& context) {
    if (!context.Data || context.Data->Rows.isEmpty()) {
        RichEdit1->clear();
        return true;
    }
    WriteResultLines(
        SelfTestRowLines(context.Value("ResultCod").toString(), context.Value("reserv").toString()),
        RichEdit1);
    return true;
}

TFReportR2::TFReportR2(QObject* owner, TReportData data)
    : TResultReport(owner, TJournalKind::RadioTest, std::move(data), false) {
    setObjectName("FReportR2");
    QRLabel16 = PrintedAt;
    QRLabel16->Name = "QRLabel16";
    QRLabel1->Text = "Результаты тестирования локомотвных радиостанций ";

    TReportBand* block = QuickRep1->AddBand(TBandKind::Detail, lineH + 32.0 + 1.5);
    block->Frame = FrameTop | FrameBottom;
    block->Name = "QRBand2";
    const auto line = [](int n) { return 0.5 + (n - 1) * lineH; };
    const auto pair = [&](int n, double x, const QString& caption, double w, const QString& field,
                          double fw) {
        Caption(block, caption, x, line(n), w, lineH, false, false, true);
        Field(block, field, x + w + 1, line(n), fw, lineH);
    };
    Caption(block, "Дата, время:", 0, line(1), 25, lineH, false, false, true);
    Field(block, "Date", 26, line(1), 17, lineH);
    Field(block, "Time", 44, line(1), 12, lineH);
    pair(2, 0, "Механик:", 18, "Mehanik", 40);
    pair(3, 0, "Режим :", 15, "Event", 25);
    pair(4, 0, "Направление :", 28, "Direction", 22);
    pair(5, 0, "Поезд:", 14, "Train", 14);
    pair(6, 0, "Локомотив:", 22, "Loko", 22);
    pair(1, 62, "Код результата:", 31, "ResultCod", 20);
    Caption(block, "Девиация ( М,Г):", 62, line(2), 33, lineH, false, false, true);
    Field(block, "DeviacM", 96, line(2), 8, lineH);
    Field(block, "DeviacG", 105, line(2), 8, lineH);
    pair(3, 62, "Сообщения МВ:", 30, "MesM", 16);
    pair(4, 62, "Сообщения ГМВ:", 32, "MesG", 16);
    Caption(block, "Результат:", 138, line(1), 22, lineH, true, false, true);
    Field(block, "ResultWord", 161, line(1), 34, lineH, true);
    QRRichText1 = CommentsBox(block, 138, 55.3, 32.0);
    RichEdit1 = QRRichText1->Document();
    block->BeforePrint = [this](TReportBand&, const TReportContext& c) { return QRBand2BeforePrint(c); };
}

bool TFReportR2::QRBand2BeforePrint(const TReportContext& context) {
    if (!context.Data || context.Data->Rows.isEmpty()) {
        RichEdit1->clear();
        return true;
    }
    WriteResultLines(
        RadioTestRowLines(context.Value("Event").toString(), context.Value("ResultCod").toString()),
        RichEdit1);
    return true;
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
