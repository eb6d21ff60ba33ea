// Draws the built-in sample picture of tessilor-cli: a mountain lake at
// sunset, with smooth gradients and hard edges so that every brightness band
// of the character ramps shows up. Usage: make_sample OUTPUT.jpg
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const int W = 640, H = 400;
    QImage img(W, H, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, H * 0.6);
    sky.setColorAt(0, QColor(20, 30, 90));
    sky.setColorAt(0.55, QColor(200, 90, 120));
    sky.setColorAt(1, QColor(255, 200, 120));
    p.fillRect(0, 0, W, int(H * 0.6), sky);

    QRadialGradient sun(QPointF(430, 200), 70);
    sun.setColorAt(0, QColor(255, 255, 235));
    sun.setColorAt(0.45, QColor(255, 240, 170));
    sun.setColorAt(1, QColor(255, 200, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(430, 200), 70, 70);

    auto ridge = [&](double base, double amp, double freq, double phase, QColor c) {
        QPainterPath path;
        path.moveTo(0, H * 0.6);
        for (int x = 0; x <= W; x += 4) {
            const double y = base - amp * std::fabs(std::sin(x * freq + phase)) - amp * 0.35 * std::sin(x * freq * 3.1);
            path.lineTo(x, y);
        }
        path.lineTo(W, H * 0.6);
        path.closeSubpath();
        p.setBrush(c);
        p.drawPath(path);
    };
    ridge(200, 90, 0.009, 0.4, QColor(70, 60, 110));
    ridge(225, 60, 0.014, 1.7, QColor(45, 40, 80));
    ridge(240, 30, 0.03, 0.2, QColor(25, 30, 50));

    // Water: the sky mirrored and darkened, with ripples.
    QImage top = img.copy(0, 0, W, int(H * 0.6)).mirrored(false, true);
    const int waterTop = int(H * 0.6);
    for (int y = waterTop; y < H; ++y) {
        const int sy = y - waterTop;
        const QRgb *src = reinterpret_cast<const QRgb *>(top.constScanLine(std::min(sy, top.height() - 1)));
        QRgb *dst = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < W; ++x) {
            const int sx = std::clamp(int(x + 4 * std::sin(y * 0.35)), 0, W - 1);
            const QRgb c = src[sx];
            dst[x] = qRgb(qRed(c) * 6 / 10, qGreen(c) * 6 / 10, qBlue(c) * 7 / 10);
        }
    }
    // Shore and a pine tree in silhouette.
    p.setBrush(QColor(10, 12, 15));
    QPainterPath shore;
    shore.moveTo(0, H);
    shore.lineTo(0, 300);
    shore.cubicTo(80, 290, 160, 330, 230, H);
    shore.closeSubpath();
    p.drawPath(shore);
    p.drawRect(QRectF(92, 200, 10, 110));
    for (int k = 0; k < 6; ++k) {
        const double y = 120 + k * 28;
        const double half = 18 + k * 9;
        QPolygonF tri;
        tri << QPointF(97, y - 30) << QPointF(97 - half, y + 25) << QPointF(97 + half, y + 25);
        p.drawPolygon(tri);
    }
    p.end();
    return img.save(QString::fromLocal8Bit(argv[1]), "JPG", 90) ? 0 : 1;
}
