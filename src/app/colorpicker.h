#pragma once
#include <QList>
#include <QFrame>

class QKeyEvent;
class QToolButton;
namespace tessilor {
class SwatchList;
}

// The text colour picker: a small frameless tool window, owned by the main
// window and shown non-modal. Its palette bar (m_paletteBar) shows every swatch
// of the shared list (the 40 palette colours and the custom ones added so
// far); the "Другой цвет" bar (m_otherColorBar) asks for any colour and adds it to
// the list as a new swatch. Either way swatchPicked carries the chosen
// swatch's 1-based index and the picker closes. A cancelled colour dialog
// closes the picker without a pick. The "По изображению" bar (m_pictureBar)
// chooses the picture's own colours (pictureColorsPicked).
// The window deletes itself when it closes; hold it in a QPointer.
class ColorPicker : public QFrame
{
    Q_OBJECT
public:
    ColorPicker(tessilor::SwatchList *list, QWidget *owner);

    QWidget *paletteBar() const { return m_paletteBar; }
    QWidget *otherColorBar() const { return m_otherColorBar; }
    QToolButton *paletteButton(int index) const; // 1-based
    QToolButton *otherColorButton() const { return m_other; }
    QWidget *pictureBar() const { return m_pictureBar; }
    QToolButton *pictureColorsButton() const { return m_picture; }

Q_SIGNALS:
    void swatchPicked(int index);
    // Every character in the colour of its cell of the picture.
    void pictureColorsPicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void fillPalette();
    void swatchClicked(int index);
    void otherColorClicked();

    tessilor::SwatchList *m_list;
    QWidget *m_owner;
    QWidget *m_paletteBar = nullptr;
    QWidget *m_otherColorBar = nullptr;
    QToolButton *m_other = nullptr;
    QWidget *m_pictureBar = nullptr;
    QToolButton *m_picture = nullptr;
    QList<QToolButton *> m_buttons;
    bool m_choosing = false;
};
