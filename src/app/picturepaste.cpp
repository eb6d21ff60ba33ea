#include "app/picturepaste.h"

#include "base/options.h"
#include "base/pastedpicture.h"
#include "base/paths.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QShortcut>
#include <QWidget>

namespace tessilor {

PicturePaste::PicturePaste(QAction *entry, QWidget *window, std::function<bool()> busy,
                           std::function<bool(const QString &)> open, std::function<void(const QString &)> tell)
    : QObject(window), m_entry(entry), m_window(window), m_busy(std::move(busy)), m_open(std::move(open)),
      m_tell(std::move(tell))
{
    connect(entry, &QAction::triggered, this, &PicturePaste::paste);
    // The key works with the entry disabled too: it says why nothing opens.
    // A text field with the focus takes it first, for its own text.
    auto *key = new QShortcut(QKeySequence::Paste, window);
    key->setObjectName(QStringLiteral("pasteKey"));
    connect(key, &QShortcut::activated, this, &PicturePaste::paste);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &PicturePaste::updateEntry);
    updateEntry();
}

void PicturePaste::updateEntry()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    m_entry->setEnabled(!m_busy() && data && offersPicture(*data));
}

void PicturePaste::paste()
{
    if (m_busy()) {
        m_tell(QStringLiteral("Изображение из буфера обмена можно открыть после окончания символизации."));
        return;
    }
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    const ClipboardPicture picture = data ? pictureFromClipboard(*data) : ClipboardPicture{};
    if (picture.isNull()) {
        m_entry->setEnabled(false);
        m_tell(QStringLiteral("В буфере обмена нет изображения."));
        return;
    }
    if (!picture.file.isEmpty()) {
        m_open(picture.file);
        return;
    }
    const QString folder = pastedPicturesFolder();
    QString why;
    const QString kept =
        keepPastedPicture(picture.bytes, picture.extension, folder, QDateTime::currentDateTime(), &why);
    if (kept.isEmpty()) {
        QMessageBox::critical(
            m_window, programCaption(),
            QStringLiteral("Не удалось сохранить изображение из буфера обмена в папке %1 (%2).")
                .arg(QDir::toNativeSeparators(folder.isEmpty() ? dataFolderLocation() + QStringLiteral("/pasted")
                                                               : folder),
                     why));
        return;
    }
    // What the loader cannot read is not kept: it says why, and the file goes.
    if (!m_open(kept))
        QFile::remove(kept);
}

} // namespace tessilor
