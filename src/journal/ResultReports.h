#pragma once
// The four printed reports of the result journals: compact (one line per row, A4
// landscape) and expanded (one framed block per row with its comments, A4 portrait), of
// the self-test journal (TFReport, TFReportR1) and of the tests 2/3 journal (TFReport23,
// TFReportR2). A report form is never shown: its preview is. Each page starts with the
// page number and the moment the page was started.

#include "journal/ResultJournal.h"
#include "journal/report/ReportLayer.h"

#include <QObject>
#include <memory>

class QTextDocument;

/// A report form: the report, its page header (the page number and the printed-at line
/// of each page) and its title band.
class TReportForm : public QObject {
    Q_OBJECT
public:
    TReportForm(QObject* owner, TReportData data, bool landscape);
    ~TReportForm() override;

    std::unique_ptr<TReport> QuickRep1;
    TReportPageNumber* PageNumber = nullptr;
    TReportLabel* QRLabel1 = nullptr; // the title
    /// The printed-at line ("Распечатано ..."), set at the start of every page.
    TReportLabel* PrintedAt = nullptr;

    void QuickRep1StartPage();

protected:
    /// The printable width of the page, in millimetres.
    double Width() const;
    /// A caption label; font changes are applied to a copy of the band's font.
    TReportLabel* Caption(TReportBand* band, const QString& text, double x, double y, double w, double h,
                          bool italic = false, bool bold = false, bool underline = false, double points = 0);
    TReportDataField* Field(TReportBand* band, const QString& field, double x, double y, double w, double h,
                            bool bold = false, double points = 0);
    /// How fields print their values; plain text by default.
    std::function<QString(const QVariant&)> FieldFormat;
};

/// What the four result forms share: their rows print with the browser's display formats.
class TResultReport : public TReportForm {
    Q_OBJECT
public:
    TResultReport(QObject* owner, TJournalKind kind, TReportData data, bool landscape);
    TReportPageNumber* QRSysData2 = nullptr;
    /// The comments box of the expanded forms and its content; nullptr in the compact ones.
    TReportRichText* QRRichText1 = nullptr;
    QTextDocument* RichEdit1 = nullptr;
    /// Before each block of an expanded form: the box gets the comments of the row printed.
    bool QRBand2BeforePrint(const TReportContext& context);

protected:
    /// A column of a compact report: its caption (italic, broken at a blank into two lines
    /// when narrow) over its field; both bold when asked.
    struct TCompactColumn {
        const char* Caption;
        const char* Field;
        double X;
        double W;
        bool Bold = false;
    };
    /// The compact forms' column header band (ruled above and below) and their detail line
    /// (ruled below). Returns the header band.
    TReportBand* CompactBands(const QList<TCompactColumn>& columns);
    /// A caption over sub-captions that share its width.
    void GroupCaption(const QString& text, double x, double w, const QStringList& subs, double points);
    /// Fields sharing a width under a group caption.
    void SubFields(const QStringList& fields, double x, double w, double points);
    /// The expanded forms' block: ruled above and below, date and time, operator and verdict
    /// lines, and the comments box of fixed size on the right from the second line down.
    TReportBand* ExpandedBlock(double boxW, double boxH);
    /// Top of a line of an expanded block, from 1.
    static double Line(int n);
    /// An underlined caption and its field on one line of a block.
    void Pair(TReportBand* block, int line, double x, const QString& caption, double w, const QString& field,
              double fw);

private:
    TJournalKind kind_;
};

/// Compact self-test report.
class TFReport : public TResultReport {
    Q_OBJECT
public:
    TFReport(QObject* owner, TReportData data);
    ~TFReport() override;
    TReportLabel* QRLabel14 = nullptr;
};

/// Expanded self-test report: one block per row, its comments in a box of fixed size.
class TFReportR1 : public TResultReport {
    Q_OBJECT
public:
    TFReportR1(QObject* owner, TReportData data);
    ~TFReportR1() override;
    TReportLabel* QRLabel3 = nullptr;
};

/// Compact tests 2/3 report.
class TFReport23 : public TResultReport {
    Q_OBJECT
public:
    TFReport23(QObject* owner, TReportData data);
    ~TFReport23() override;
    TReportLabel* QRLabel14 = nullptr;
};

/// Expanded tests 2/3 report.
class TFReportR2 : public TResultReport {
    Q_OBJECT
public:
    TFReportR2(QObject* owner, TReportData data);
    ~TFReportR2() override;
    TReportLabel* QRLabel16 = nullptr;
};

/// The last report of each form; nullptr when none lives.
extern TFReport* FReport;
extern TFReportR1* FReportR1;
extern TFReport23* FReport23;
extern TFReportR2* FReportR2;

/// The printed-at text of a page started at this moment: "Распечатано dd/mm/yy в hh:nn".
QString PrintedAtText(const QDateTime& moment);
