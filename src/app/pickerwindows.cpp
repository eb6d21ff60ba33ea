#include "app/pickerwindows.h"

namespace tessilor {

PickerWindows::PickerWindows(QWidget *owner) : QObject(owner), m_owner(owner) {}

PickerWindows::~PickerWindows()
{
    delete m_figures.data();
    delete m_colors.data();
}

FigurePicker *PickerWindows::showFigures(QPoint at)
{
    if (m_figures)
        m_figures->close();
    m_figures = new FigurePicker(m_owner);
    m_figures->move(at);
    m_figures->show();
    // It takes the keyboard, as a drop-down does: Esc closes it.
    m_figures->activateWindow();
    return m_figures;
}

ColorPicker *PickerWindows::showColors(SwatchList *swatches, QPoint at)
{
    if (m_colors)
        m_colors->close();
    m_colors = new ColorPicker(swatches, m_owner);
    m_colors->move(at);
    m_colors->show();
    m_colors->activateWindow();
    return m_colors;
}

void PickerWindows::ownerActivated()
{
    if (m_figures && !m_figures->isActiveWindow())
        m_figures->close();
    if (m_colors && !m_colors->isActiveWindow())
        m_colors->close();
}

void PickerWindows::closeAll()
{
    if (m_figures)
        m_figures->close();
    if (m_colors)
        m_colors->close();
}

} // namespace tessilor
