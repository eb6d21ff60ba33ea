#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QFrame>

class QKeyEvent;
class QLabel;

// The figure picker: a small frameless tool window, owned by the main window
// and shown non-modal, with every glyph of the two figure fonts (codes 33 to
// 126 of each, 188 in all). A click on a glyph picks it: figurePicked carries
// the font's family name and the character code, and the picker closes.
// The window deletes itself when it closes; hold it in a QPointer.
class FigurePicker : public QFrame
{
    Q_OBJECT
public:
    explicit FigurePicker(QWidget *owner);

    // Adds one glyph label for the character code of the given font, placed
    // after the previous label (wrapping at the inner width).
    void addFigure(const QString &fontName, qint16 code, const QString &tip);

    // Glyph labels including the hidden template at index 0.
    int labelCount() const { return int(m_labels.size()); }
    QLabel *label(int index) const;
    int codeOf(int index) const;
    QString familyOf(int index) const;

Q_SIGNALS:
    void figurePicked(const QString &family, int code);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void fillFigures();
    void pickFigure(int index);
    void hoverFigure(int index);
    void setLabelBackground(QLabel *label, const QColor &color);

    QList<QLabel *> m_labels; // index 0 is the hidden template
    QList<int> m_codes;
    QStringList m_families;
};
