#pragma once
#include <QString>
#include <QWidget>

class QTextBrowser;
class QToolBar;
class QAction;

namespace tessilor {

// The help pages: Russian HTML pages in the folder "help" among the
// program's read-only files (beside the program in a build tree,
// share/tessilor/help when installed); index.html is the contents page.
QString helpFolder();
QString helpContentsPath();

// The help window: the help pages in a browser with back, forward and
// contents buttons. Links between the pages open in the window; links to
// other places are handed to the desktop, and a failure to open one is
// reported. Esc closes the window.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(const QString &folder, QWidget *parent = nullptr);

    // Shows a page of the folder; false when it cannot be read.
    bool showPage(const QString &page);
    QTextBrowser *browser() const { return m_browser; }
    QAction *contentsAction() const { return m_contents; }
    QAction *backAction() const { return m_back; }
    QAction *forwardAction() const { return m_forward; }

private:
    void openOutside(const QUrl &url);

    QString m_folder;
    QTextBrowser *m_browser = nullptr;
    QAction *m_contents = nullptr;
    QAction *m_back = nullptr;
    QAction *m_forward = nullptr;
};

// Shows the help window of owner (one per owner, made on first use) at the
// contents page, in front. Returns false, showing nothing, when the help
// pages are missing.
bool showHelpWindow(QWidget *owner);

} // namespace tessilor
