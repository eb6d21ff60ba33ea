#pragma once
#include <QDialog>

class QLabel;

namespace tessilor {

// The About window: product title, version, author and links. Modal.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    QLabel *titleLabel() const { return m_title; }
    QLabel *versionLabel() const { return m_version; }
    QLabel *authorLabel() const { return m_author; }
    QLabel *linksLabel() const { return m_links; }

Q_SIGNALS:
    // The help link was clicked.
    void helpRequested();

private:
    QLabel *m_title = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_author = nullptr;
    QLabel *m_links = nullptr;
};

} // namespace tessilor
