#include "app/appicons.h"

#include <QApplication>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace tessilor {

namespace {

QPixmap canvas()
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    return pm;
}

QIcon letters(const QString &text, const QColor &color, int pointSize)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPixelSize(pointSize);
    f.setBold(true);
    p.setFont(f);
    p.setPen(color);
    p.drawText(pm.rect(), Qt::AlignCenter, text);
    return QIcon(pm);
}

QIcon gradient(bool colored)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    QLinearGradient g(0, 0, 20, 0);
    if (colored) {
        g.setColorAt(0.0, QColor(230, 40, 40));
        g.setColorAt(0.5, QColor(40, 180, 60));
        g.setColorAt(1.0, QColor(40, 80, 230));
    } else {
        g.setColorAt(0.0, Qt::black);
        g.setColorAt(1.0, Qt::white);
    }
    p.fillRect(QRect(2, 4, 16, 12), g);
    p.setPen(QColor(90, 90, 90));
    p.drawRect(QRect(2, 4, 15, 11));
    return QIcon(pm);
}

QIcon mosaic()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colors[] = {QColor(200, 60, 60), QColor(60, 160, 60), QColor(60, 90, 200), QColor(220, 170, 40)};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(colors[i]);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(2 + (i % 2) * 9, 2 + (i / 2) * 9, 7, 7));
    }
    return QIcon(pm);
}

QIcon magnifier()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.drawEllipse(QRectF(3, 3, 10, 10));
    p.setPen(QPen(QColor(40, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 12), QPointF(17, 17));
    return QIcon(pm);
}

QIcon printer()
{
    const QIcon themed = QIcon::fromTheme(QStringLiteral("document-print"));
    if (!themed.isNull())
        return themed;
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QColor(50, 50, 50));
    p.setBrush(Qt::white);
    p.drawRect(5, 2, 10, 6);
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(2, 8, 16, 7);
    p.setBrush(Qt::white);
    p.drawRect(5, 13, 10, 5);
    return QIcon(pm);
}

QIcon build(const QString &key)
{
    QStyle *s = QApplication::style();
    if (key == QLatin1String("open"))
        return s->standardIcon(QStyle::SP_DirOpenIcon);
    if (key == QLatin1String("mas"))
        return magnifier();
    if (key == QLatin1String("go"))
        return s->standardIcon(QStyle::SP_MediaPlay);
    if (key == QLatin1String("canc"))
        return s->standardIcon(QStyle::SP_MediaStop);
    if (key == QLatin1String("save") || key == QLatin1String("result"))
        return s->standardIcon(QStyle::SP_DialogSaveButton);
    if (key == QLatin1String("word"))
        return s->standardIcon(QStyle::SP_FileIcon);
    if (key == QLatin1String("cl"))
        return s->standardIcon(QStyle::SP_FileDialogDetailedView);
    if (key == QLatin1String("print"))
        return printer();
    if (key == QLatin1String("help"))
        return s->standardIcon(QStyle::SP_DialogHelpButton);
    if (key == QLatin1String("text") || key == QLatin1String("app"))
        return letters(QStringLiteral("A#"), QColor(30, 30, 30), 10);
    if (key == QLatin1String("fig"))
        return mosaic();
    if (key == QLatin1String("color"))
        return gradient(true);
    if (key == QLatin1String("gray"))
        return gradient(false);
    if (key.startsWith(QLatin1String("font")))
        return letters(key.mid(4), QColor(20, 60, 140), 14);
    return QIcon();
}

} // namespace

QIcon appIcon(const QString &key)
{
    static QHash<QString, QIcon> cache;
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.insert(key, build(key));
    return *it;
}

} // namespace tessilor
