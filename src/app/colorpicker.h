#pragma once
#include <QList>
#include <QFrame>

class QKeyEvent;
class QToolButton;
namespace tessilor {
class SwatchList;
}

// The text colour picker: a small frameless tool window, owned by the main
// window and shown non-modal. Its palette bar (Toolbar1) shows every swatch
// of the shared list (the 40 palette colours and the custom ones added so
// far); the "Другой цвет" bar (Toolbar2) asks for any colour and adds it to
// the list as a new swatch. Either way swatchPicked carries the chosen
// swatch's 1-based index and the picker closes. A cancelled colour dialog
// closes the picker without a pick. The "По изображению" bar (Toolbar3)
// chooses the picture's own colours (pictureColorsPicked).
// The window deletes itself when it closes; hold it in a QPointer.
class ColorMenu : public QFrame
{
    Q_OBJECT
public:
    ColorMenu(tessilor::SwatchList *list, QWidget *owner);

    QWidget *toolbar1() const { return Toolbar1; }
    QWidget *toolbar2() const { return Toolbar2; }
    QToolButton *paletteButton(int index) const; // 1-based
    QToolButton *otherColorButton() const { return m_other; }
    QWidget *toolbar3() const { return Toolbar3; }
    QToolButton *pictureColorsButton() const { return m_picture; }

Q_SIGNALS:
    void swatchPicked(int index);
    // Every character in the colour of its cell of the picture.
    void pictureColorsPicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Toolbar1_ButtonClick(int index);
    void Toolbar2_ButtonClick();

    tessilor::SwatchList *m_list;
    QWidget *m_owner;
    QWidget *Toolbar1 = nullptr;
    QWidget *Toolbar2 = nullptr;
    QToolButton *m_other = nullptr;
    QWidget *Toolbar3 = nullptr;
    QToolButton *m_picture = nullptr;
    QList<QToolButton *> m_buttons;
    bool m_choosing = false;
};
