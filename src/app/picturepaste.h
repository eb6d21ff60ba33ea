#pragma once
#include <QObject>
#include <functional>

class QAction;
class QWidget;

namespace tessilor {

// Pictures pasted from the clipboard into a window: the drop-down entry
// given ("Вставить из буфера обмена"), enabled while the clipboard holds a
// picture and nothing is busy, and Ctrl+V anywhere in the window but in a
// text field (where it pastes text). The bytes of a copied picture are kept
// as a file of the pasted-pictures folder and handed to open like a file
// chosen in the dialog; a copied picture file is handed over itself. Ctrl+V
// without a picture, or while busy() says so, tells the user why nothing
// was opened through tell.
class PicturePaste : public QObject
{
    Q_OBJECT
public:
    PicturePaste(QAction *entry, QWidget *window, std::function<bool()> busy, std::function<bool(const QString &)> open,
                 std::function<void(const QString &)> tell);

    // Enables the entry by what the clipboard holds now.
    void updateEntry();
    // Opens the picture on the clipboard.
    void paste();

private:
    QAction *m_entry;
    QWidget *m_window;
    std::function<bool()> m_busy;
    std::function<bool(const QString &)> m_open;
    std::function<void(const QString &)> m_tell;
};

} // namespace tessilor
