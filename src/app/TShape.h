#pragma once
// A filled circle indicator whose brush colour the program switches.

#include <QColor>
#include <QWidget>

/// Circle indicator (transmitter on, reset/work, sound transfer).
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent = nullptr);
    QColor BrushColor() const { return color_; }
    void SetBrushColor(const QColor& c);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor color_ = Qt::white;
};
