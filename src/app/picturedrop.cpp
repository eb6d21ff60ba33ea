#include "app/picturedrop.h"

#include "base/options.h"
#include "base/paths.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tessilor {

PictureDrop::PictureDrop(QWidget *window, std::function<bool()> busy, std::function<void(const QString &)> open)
    : QObject(window), m_window(window), m_busy(std::move(busy)), m_open(std::move(open))
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool PictureDrop::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (drag->mimeData()->hasUrls() && !m_busy())
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (m_busy())
            return true;
        const QList<QUrl> urls = drop->mimeData()->urls();
        if (urls.isEmpty()) {
            m_open(QString());
            return true;
        }
        const QString file = urls.first().toLocalFile();
        if (file.isEmpty() || !isImageExtension(getExt(file))) {
            QMessageBox::warning(
                m_window, programCaption(),
                QStringLiteral("%1 не открыт: программа открывает изображения JPEG, BMP, GIF, PNG, "
                               "WebP и TIFF.")
                    .arg(file.isEmpty() ? urls.first().toDisplayString() : QFileInfo(file).fileName()));
            return true;
        }
        drop->acceptProposedAction();
        m_open(file);
        return true;
    }
    default:
        return false;
    }
}

} // namespace tessilor
