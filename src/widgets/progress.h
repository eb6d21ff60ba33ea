#pragma once
#include <QWidget>

#include "layout/viewlayout.h"

namespace tessilor {

// The program's progress bar: an etched frame with a filled bar inside whose
// width shows the percentage. Designed 1485 x 270 twips (99 x 18 pixels).
class Progress : public QWidget
{
    Q_OBJECT
public:
    explicit Progress(QWidget *parent = nullptr);

    // Sets the bar to p percent of the inside of the frame. A fraction is
    // rounded half to even; the value is not clamped, except that a
    // negative percentage shows no bar.
    void SetPercent(double p);
    int percent() const { return m_percent; }

    // Geometry in twips, as laid out for the current size.
    FrameLines frameTwips() const;
    float barWidthTwips() const;
    // The bar rectangle in twips (left 15, top 15, width, height H - 30).
    QRectF barRectTwips() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_percent = 0;
};

} // namespace tessilor
