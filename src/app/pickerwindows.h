#pragma once
#include <QObject>
#include <QPoint>
#include <QPointer>

#include "app/colorpicker.h"
#include "app/figurepicker.h"

class QWidget;

namespace tessilor {

// The two drop-down pickers of the main window: the figure picker and the
// text colour picker. Each exists only while open; showing one closes the
// one of its kind that was open.
class PickerWindows : public QObject
{
    Q_OBJECT
public:
    explicit PickerWindows(QWidget *owner);
    ~PickerWindows() override;

    // Opens a picker, non-modal and owned by the owner, at the given place,
    // and gives it the keyboard (Esc closes it).
    FigurePicker *showFigures(QPoint at);
    ColorPicker *showColors(SwatchList *swatches, QPoint at);

    FigurePicker *figures() const { return m_figures.data(); }
    ColorPicker *colors() const { return m_colors.data(); }

    // The owner became the active window again: the pickers close.
    void ownerActivated();
    void closeAll();

private:
    QWidget *m_owner;
    QPointer<FigurePicker> m_figures;
    QPointer<ColorPicker> m_colors;
};

} // namespace tessilor
