#pragma once
#include <QWidget>

#include "layout/viewlayout.h"

namespace tessilor {

// Etched frame around the control's area. Placed 30 twips (2 pixels) thick it
// shows as an etched separator line, horizontal or vertical.
class Panel3d : public QWidget
{
    Q_OBJECT
public:
    explicit Panel3d(QWidget *parent = nullptr);

    // Frame lines in twips for the current size.
    FrameLines frameTwips() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Draws the four frame lines of a control of the given pixel size with the
// palette's 3-D colours (shadow top and left, light right, highlighted text
// bottom). Shared by Panel3d and Progress.
void paintEtchedFrame(QPainter &painter, const QSize &pixels, const QPalette &palette);

} // namespace tessilor
