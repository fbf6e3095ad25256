#pragma once
// Progress gauge drawn as a needle dial or as a pie, with back and fore colours.

#include <QColor>
#include <QWidget>

/// A gauge with MinValue..MaxValue and Progress; Needle or Pie kind.
class TGauge : public QWidget {
    Q_OBJECT
public:
    enum Kind { Needle, Pie };
    explicit TGauge(Kind kind, QWidget* parent = nullptr);

    int Progress() const { return progress_; }
    void SetProgress(int value);
    int MaxValue() const { return max_; }
    void SetMaxValue(int value);
    int MinValue() const { return min_; }
    void SetMinValue(int value);
    void SetBackColor(const QColor& c);
    void SetForeColor(const QColor& c);
    Kind GaugeKind() const { return kind_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Kind kind_;
    int min_ = 0;
    int max_ = 100;
    int progress_ = 0;
    QColor back_ = Qt::white;
    QColor fore_ = Qt::black;
};
