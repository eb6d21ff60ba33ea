#pragma once
#include <QObject>

#include "app/mainbars.h"

class QLineEdit;

namespace tessilor {

// The grid-size fields of both option bars: each field's tag marks the
// keyboard focus ("focus" while it has it), an edited field with the focus
// sets its partner when its bar's proportional box is checked, and a new
// display size of the picture sets all four fields (clamped as a run clamps
// them) and ImageAspect.
class GridCoupling : public QObject
{
    Q_OBJECT
public:
    GridCoupling(const GridFields &textBar, const GridFields &figureBar, QObject *parent);

    // The image window published a display copy of pw x ph pixels.
    void publishDisplaySize(int pw, int ph);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fieldChanged(QLineEdit *field);

    GridFields m_text;
    GridFields m_figures;
};

} // namespace tessilor
