#include "app/aboutdialog.h"

#include "app/appicons.h"
#include "base/options.h"
#include "base/paths.h"
#include "widgets/panel3d.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tessilor {

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("О программе"));
    setModal(true);

    auto *icon = new QLabel(this);
    icon->setPixmap(appIcon(QStringLiteral("app")).pixmap(40, 40));
    icon->setAlignment(Qt::AlignTop);

    m_title = new QLabel(QStringLiteral("Quar Image Tessilor"), this);
    m_title->setObjectName(QStringLiteral("aboutTitle"));
    QFont big = m_title->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    m_title->setFont(big);
    m_version = new QLabel(QStringLiteral("Версия ") + QStringLiteral(TESSILOR_VERSION), this);
    m_version->setObjectName(QStringLiteral("aboutVersion"));
    m_author = new QLabel(QStringLiteral("Автор: Quar Programming"), this);
    m_author->setObjectName(QStringLiteral("aboutAuthor"));
    auto *what = new QLabel(QStringLiteral("Превращение изображений в текстовые символы и мозаику из фигур."), this);
    what->setWordWrap(true);

    const QString dataDir = dataFolder();
    m_links = new QLabel(this);
    m_links->setObjectName(QStringLiteral("aboutLinks"));
    m_links->setText(QStringLiteral("<a href=\"help:\">Справка</a>") +
                     (dataDir.isEmpty() ? QString()
                                        : QStringLiteral(" &nbsp;|&nbsp; <a href=\"%1\">Папка данных программы</a>")
                                              .arg(QUrl::fromLocalFile(dataDir).toString())));
    m_links->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(m_links, &QLabel::linkActivated, this, [this](const QString &link) {
        if (link == QLatin1String("help:")) {
            // The help window is not modal: this window makes way for it.
            accept();
            Q_EMIT helpRequested();
        } else if (!QDesktopServices::openUrl(QUrl(link))) {
            const QUrl url(link);
            QMessageBox::warning(this, programCaption(),
                                 QStringLiteral("Не удалось открыть папку %1: в системе не найдено приложение "
                                                "для просмотра папок.")
                                     .arg(QDir::toNativeSeparators(url.isLocalFile() ? url.toLocalFile() : link)));
        }
    });

    auto *line = new Panel3d(this);
    line->setFixedHeight(2);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *text = new QVBoxLayout;
    text->addWidget(m_title);
    text->addWidget(m_version);
    text->addWidget(m_author);
    text->addSpacing(6);
    text->addWidget(what);
    text->addSpacing(6);
    text->addWidget(m_links);
    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(10);
    top->addLayout(text, 1);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(line);
    all->addWidget(buttons);
    setMinimumWidth(380);
}

} // namespace tessilor
