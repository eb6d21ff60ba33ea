#pragma once
#include <QObject>
#include <functional>

class QWidget;

namespace tessilor {

// Pictures dropped on a window: files of the picture types are handed to
// open (the first of several); anything else is refused with a message.
// Nothing is taken while busy() says so.
class PictureDrop : public QObject
{
    Q_OBJECT
public:
    PictureDrop(QWidget *window, std::function<bool()> busy, std::function<void(const QString &)> open);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    std::function<bool()> m_busy;
    std::function<void(const QString &)> m_open;
};

} // namespace tessilor
