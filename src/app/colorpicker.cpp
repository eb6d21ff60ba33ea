#include "app/colorpicker.h"

#include "base/options.h"
#include "layout/pickerlayout.h"
#include "layout/swatches.h"
#include "platform/comdlgandfuncs.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QToolButton>

using namespace tessilor;
using namespace tessilor::colormenu;

ColorPicker::ColorPicker(SwatchList *list, QWidget *owner)
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint), m_list(list), m_owner(owner)
{
    // A thin line around the window sets it apart from what lies below.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setObjectName(QStringLiteral("ColorMenu"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Цвет текста"));
    fillPalette();
}

QToolButton *ColorPicker::paletteButton(int index) const
{
    return index >= 1 && index <= m_buttons.size() ? m_buttons[index - 1] : nullptr;
}

void ColorPicker::fillPalette()
{
    const int buttons = m_list ? m_list->count() : 0;
    const BarGrid grid = wrappedBarGrid(buttons, kInnerWidth, kButtonWidth);

    m_paletteBar = new QWidget(this);
    m_paletteBar->setObjectName(QStringLiteral("Toolbar1"));
    for (int i = 1; i <= buttons; ++i) {
        auto *b = new QToolButton(m_paletteBar);
        b->setObjectName(QStringLiteral("Toolbar1_%1").arg(i));
        b->setAutoRaise(true);
        b->setIconSize(QSize(16, 16));
        b->setIcon(QIcon(QPixmap::fromImage(m_list->image(i))));
        const int col = (i - 1) % grid.columns;
        const int row = (i - 1) / grid.columns;
        b->setGeometry(twipsToPixels(col * kButtonWidth), twipsToPixels(row * kButtonHeight),
                       twipsToPixels(kButtonWidth), twipsToPixels(kButtonHeight));
        connect(b, &QToolButton::clicked, this, [this, i] { swatchClicked(i); });
        m_buttons.append(b);
    }
    const int paletteHeight = grid.rows * kButtonHeight;
    m_paletteBar->setGeometry(0, 0, twipsToPixels(kInnerWidth), twipsToPixels(paletteHeight));

    m_otherColorBar = new QWidget(this);
    m_otherColorBar->setObjectName(QStringLiteral("Toolbar2"));
    m_other = new QToolButton(m_otherColorBar);
    m_other->setObjectName(QStringLiteral("Toolbar2_1"));
    m_other->setAutoRaise(true);
    m_other->setText(QStringLiteral("    Другой цвет    "));
    m_other->adjustSize();
    connect(m_other, &QToolButton::clicked, this, [this] { otherColorClicked(); });

    // The other-colour bar is as wide as its button and centred.
    const int barWidth = pixelsToTwips(m_other->width());
    const int barHeight = pixelsToTwips(m_other->height());
    const int barLeft = centredBarLeft(kInnerWidth, barWidth);
    m_other->move(0, 0);

    // "По изображению", the picture's own colours: its swatch and its name,
    // centred in a row of its own right below the other-colour bar, with as
    // much room below it as that bar has above (colorMenuPictureRow).
    m_pictureBar = new QWidget(this);
    m_pictureBar->setObjectName(QStringLiteral("Toolbar3"));
    m_picture = new QToolButton(m_pictureBar);
    m_picture->setObjectName(QStringLiteral("Toolbar3_1"));
    m_picture->setAutoRaise(true);
    m_picture->setIconSize(QSize(16, 16));
    m_picture->setIcon(QIcon(QPixmap::fromImage(makePictureSwatch())));
    m_picture->setText(QStringLiteral("По изображению"));
    m_picture->setToolTip(QStringLiteral("По изображению: каждый символ цветом своей клетки изображения"));
    m_picture->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_picture->adjustSize();
    connect(m_picture, &QToolButton::clicked, this, [this] {
        close();
        Q_EMIT pictureColorsPicked();
    });
    const int pictureWidth = pixelsToTwips(m_picture->width());
    const ColorMenuRows rows = colorMenuPictureRow(grid.rows, barHeight, pixelsToTwips(m_picture->height()));
    m_otherColorBar->setGeometry(twipsToPixels(barLeft), twipsToPixels(rows.barTop), m_other->width(),
                                 m_other->height());
    m_pictureBar->setGeometry(twipsToPixels(centredBarLeft(kInnerWidth, pictureWidth)), twipsToPixels(rows.pictureTop),
                              m_picture->width(), twipsToPixels(rows.pictureHeight));
    m_picture->setGeometry(0, 0, m_picture->width(), twipsToPixels(rows.pictureHeight));

    setFixedSize(twipsToPixels(kInnerWidth), twipsToPixels(rows.innerHeight));
}

void ColorPicker::swatchClicked(int index)
{
    close();
    Q_EMIT swatchPicked(index);
}

void ColorPicker::otherColorClicked()
{
    if (m_choosing)
        return;
    quint32 color = rgbValue(255, 0, 0); // the dialog always opens on red
    hide();

    QPointer<ColorPicker> self(this);
    m_choosing = true;
    const bool ok = ShowColorDialog(color, m_owner);
    if (!self) // the owner was destroyed while the dialog was open
        return;
    m_choosing = false;

    int picked = 0;
    if (ok && m_list)
        picked = m_list->add(makeSwatch(color));
    close();
    if (picked > 0)
        Q_EMIT swatchPicked(picked);
}

void ColorPicker::keyPressEvent(QKeyEvent *event)
{
    // Escape dismisses the picker like a drop-down menu, picking nothing.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void ColorPicker::closeEvent(QCloseEvent *event)
{
    // While the colour dialog is open the picker stays alive (hidden); it
    // closes itself once the dialog has given its answer.
    if (m_choosing) {
        event->ignore();
        return;
    }
    QFrame::closeEvent(event);
}
