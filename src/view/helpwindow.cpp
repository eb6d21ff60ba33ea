#include "view/helpwindow.h"

#include "base/options.h"
#include "base/paths.h"
#include "layout/mainlayout.h"

#include <QAction>
#include <QKeySequence>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QMessageBox>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace tessilor {

QString helpFolder()
{
    return programFilesFolder() + QStringLiteral("/help");
}

QString helpContentsPath()
{
    return helpFolder() + QStringLiteral("/index.html");
}

namespace {

bool readable(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

} // namespace

HelpWindow::HelpWindow(const QString &folder, QWidget *parent) : QWidget(parent, Qt::Window), m_folder(folder)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Справка — ") + programCaption());
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("HelpBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setMovable(false);
    m_contents = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Содержание"));
    m_back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Назад"));
    m_forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Вперёд"));
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setSearchPaths({folder});
    // Pages of the folder open here; anything else goes to the desktop.
    m_browser->setOpenLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
        if (url.isRelative() || (url.isLocalFile() && QFileInfo(url.toLocalFile()).absolutePath() ==
                                                          QFileInfo(m_folder).absoluteFilePath())) {
            m_browser->setSource(url);
            return;
        }
        openOutside(url);
    });
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        if (title.isEmpty())
            setWindowTitle(QStringLiteral("Справка — ") + programCaption());
        else
            setWindowTitle(title.contains(programCaption()) ? title : title + QStringLiteral(" — ") + programCaption());
    });
    connect(m_contents, &QAction::triggered, this, [this] { showPage(QStringLiteral("index.html")); });
    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);

    // Esc closes the window, as it closes the program's other small windows.
    auto *closeAction = new QAction(QStringLiteral("Закрыть"), this);
    closeAction->setObjectName(QStringLiteral("closeHelp"));
    closeAction->setShortcut(QKeySequence(Qt::Key_Escape));
    closeAction->setShortcutContext(Qt::WindowShortcut);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addAction(closeAction);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_browser, 1);
    resize(720, 560);
}

bool HelpWindow::showPage(const QString &page)
{
    const QString path = QDir(m_folder).filePath(page);
    if (!readable(path))
        return false;
    m_browser->setSource(QUrl::fromLocalFile(path));
    return true;
}

void HelpWindow::openOutside(const QUrl &url)
{
    if (QDesktopServices::openUrl(url))
        return;
    QMessageBox::warning(this, programCaption(),
                         QStringLiteral("Не удалось открыть %1: в системе не найдено приложение для него.")
                             .arg(url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString()));
}

bool showHelpWindow(QWidget *owner)
{
    HelpWindow *window = owner ? owner->findChild<HelpWindow *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window) {
        if (!readable(helpContentsPath()))
            return false;
        window = new HelpWindow(helpFolder(), owner);
        if (owner) {
            // Centred over the program's window, on its screen with the
            // frame the owner has.
            const QRect frame = owner->frameGeometry();
            const QRect inner = owner->geometry();
            const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                                   frame.right() - inner.right(), frame.bottom() - inner.bottom());
            QList<QRect> screens;
            for (const QScreen *each : QGuiApplication::screens())
                screens.append(each->availableGeometry());
            const QRect centred(frame.center() - QPoint(window->width() / 2, window->height() / 2), window->size());
            const QRect placed = mainlayout::windowOnScreens(centred.translated(margins.left(), margins.top()), screens,
                                                             margins, window->minimumSizeHint());
            window->resize(placed.size());
            window->move(placed.topLeft() - QPoint(margins.left(), margins.top()));
        }
    }
    if (!window->showPage(QStringLiteral("index.html")))
        return false;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

} // namespace tessilor
