#pragma once
// The bold title band of a result panel. Its width is the panel's; a title longer than
// that ("Технологический режим 1: измерение девиации" in a large font) is set in a font
// just small enough to show it whole on the band's one line, so nothing below it moves.

#include <QLabel>

class TTitleLabel : public QLabel {
    Q_OBJECT
public:
    explicit TTitleLabel(QWidget* parent = nullptr);
    /// Sets the title and fits its font to the band.
    void setText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void fit();
    qreal pointSize_ = 0; // of the font the band is meant to have
    qreal fitted_ = 0;    // of the font fit() set last
};
