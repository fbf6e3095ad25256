#pragma once
// The main window's grid of received messages. Row 0 is the header (it stays in place
// while the rows scroll); rows 1 to rowCount()-1 hold the texts. The texts change here at
// once and the view follows at most once a frame: the rows added since the last frame
// reach it in one insertion, the current cell is set and scrolled to once, so a fast
// stream of messages costs no repaint, layout or signal per row. While messages keep
// coming the view follows them a few times a second (GridStreamMs): each step scrolls the
// rows and redraws the scroll bar, and nobody reads thirty rows a second anyway.
// Every column stays in the view: a message wider than its column is wrapped onto more
// lines of a taller row, so that it reads whole beside its number and channel.

#include "platform/FrameGate.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QTableView>
#include <vector>

class QTimer;

/// Least time between two steps of the grid's view while messages stream in.
inline constexpr int GridStreamMs = 100;

/// The message grid `StringGrid1`: a table view over rows kept by the grid itself.
class TMessageGrid : public QTableView {
    Q_OBJECT
public:
    TMessageGrid(int rows, int columns, QWidget* parent = nullptr);

    /// Rows including the header row 0.
    int rowCount() const { return int(cells_.size()) / columns_ + 1; }
    /// Grows or shrinks the rows below the header; new rows are empty.
    void setRowCount(int rows);
    int columnCount() const { return columns_; }
    /// Text of a cell; row 0 is the header; empty outside the grid.
    QString cellText(int row, int column) const;
    /// Sets a cell of rows 1 to rowCount()-1 (row 0: the header's text).
    void setCellText(int row, int column, const QString& text);
    /// The current cell; the view shows it and scrolls to it at the next frame.
    void setCurrentCell(int row, int column);
    /// The column that takes the rest of the width: what is left of the view beside the
    /// other columns (its title's width at least); its texts wrap.
    void setFillColumn(int column);
    /// Hands the changes since the last frame to the view now (the frame timer's work).
    void showChanges();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    class TModel;
    friend class TModel;
    void changed();
    void fitFillColumn();
    struct TShown {
        QString Text;   // as shown: a word wider than the column may break anywhere
        int Height = 0; // of the row
    };
    /// How a text of the fill column is shown at its present width.
    const TShown& measure(const QString& text);
    void fitRows(int from, int to); // model rows

    TModel* model_;
    QTimer* frame_;
    QElapsedTimer shown_; // the last step of the view
    int columns_;
    std::vector<QString> cells_; // rows 1.. by columns_
    std::vector<QString> header_;
    int shownRows_ = 0;                 // rows the view knows
    int dirtyFrom_ = -1, dirtyTo_ = -1; // changed rows the view knows (model rows)
    bool reset_ = false;
    bool currentPending_ = false;
    int currentRow_ = 1, currentColumn_ = 0;
    int fillColumn_ = -1;
    int wrapWidth_ = -1;                 // the fill column's width the heights were measured for
    QHash<QString, TShown> shown_texts_; // messages repeat: each is measured once a width
};
