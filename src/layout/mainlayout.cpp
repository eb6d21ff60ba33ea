#include "layout/mainlayout.h"

#include "base/numparse.h"

#include <cmath>
#include <limits>

namespace tessilor::mainlayout {

GridField partnerOf(GridField field)
{
    switch (field) {
    case GridField::TextColumns:
        return GridField::TextRows;
    case GridField::TextRows:
        return GridField::TextColumns;
    case GridField::FigureColumns:
        return GridField::FigureRows;
    case GridField::FigureRows:
        break;
    }
    return GridField::FigureColumns;
}

std::optional<QString> coupledPartnerText(GridField changed, const QString &text, float aspect)
{
    const double value = leadingNumber(text);
    // The aspect stays single precision; the quotient and product are formed
    // in double from it, as the field arithmetic always did, so a 400 x 300
    // display (aspect 1.3333334) gives Int(160 / 1.3333334 / 2) = 59.
    const double a = double(aspect);
    double partner = 0;
    switch (changed) {
    case GridField::TextColumns:
        partner = value / a / 2.0;
        break;
    case GridField::TextRows:
        partner = value * a * 2.0;
        break;
    case GridField::FigureColumns:
        partner = value / a;
        break;
    case GridField::FigureRows:
        partner = value * a;
        break;
    }
    if (!std::isfinite(partner))
        return std::nullopt;
    const double f = std::floor(partner);
    if (f < double(std::numeric_limits<qint32>::min()) || f > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return decimalText(qint64(f));
}

PublishedSize publishedSize(int pw, int ph)
{
    PublishedSize p;
    p.aspect = ph != 0 ? float(double(pw) / double(ph)) : 0.0f;
    p.textColumns = 2 * qint64(pw);
    p.textRows = ph;
    p.figureColumns = floorToInt64(double(pw) / 1.4);
    p.figureRows = floorToInt64(double(ph) / 1.4);
    return p;
}

ToolbarPlacement placeToolbar(double button6Left, double button13Left, double button17Left, double button2Height)
{
    ToolbarPlacement p;
    p.modeFrameLeft = button6Left - 45;
    p.modeFrameWidth = button13Left - p.modeFrameLeft;
    p.modeFrameHeight = button2Height + 60;
    p.progressLeft = button17Left + 120;
    return p;
}

double secondFrameLeft(double colorBarLeft, double colorBarButton3Left)
{
    return colorBarLeft + colorBarButton3Left + 90;
}

ResizePlacement placeOnResize(double windowWidth, double helpButtonWidth, double progressLeft)
{
    ResizePlacement p;
    p.helpBarLeft = windowWidth - helpButtonWidth - 330;
    p.progressWidth = p.helpBarLeft - progressLeft - 15;
    return p;
}

double pickerAnchorY(double windowTop, double nonClientHeight, double mainBarHeight, double textBarHeight,
                     double figureBarHeight)
{
    return windowTop + nonClientHeight + mainBarHeight + textBarHeight + figureBarHeight;
}

PickerPlace figurePickerPlace(double windowLeft, double anchorY)
{
    return PickerPlace{windowLeft + 60, anchorY - 105};
}

PickerPlace colorPickerPlace(double windowLeft, double colorBarLeft, double anchorY)
{
    return PickerPlace{colorBarLeft + windowLeft + 170, anchorY - 105};
}

PickerPlace zoomMenuPlace(double mainBarHeight)
{
    return PickerPlace{1275, mainBarHeight};
}

ChildPlace resultWindowPlace(double innerWidth, double innerHeight)
{
    return ChildPlace{3015, 0, innerWidth - 3015, innerHeight};
}

ChildPlace imageWindowPlace()
{
    return ChildPlace{0, 0, 3000, 3000};
}

QRect followingArea(const QRect &window, QSize oldArea, QSize newArea, QSize minimum)
{
    const int width = window.width() + newArea.width() - oldArea.width();
    const int height = window.height() + newArea.height() - oldArea.height();
    return QRect(window.topLeft(), QSize(qMax(width, minimum.width()), qMax(height, minimum.height())));
}

namespace {

// Squared distance between two rectangles (0 when they overlap).
qint64 distanceSquared(const QRect &a, const QRect &b)
{
    auto gap = [](qint64 lo1, qint64 hi1, qint64 lo2, qint64 hi2) -> qint64 {
        if (hi1 < lo2)
            return lo2 - hi1;
        if (hi2 < lo1)
            return lo1 - hi2;
        return 0;
    };
    const qint64 dx = gap(a.left(), a.right(), b.left(), b.right());
    const qint64 dy = gap(a.top(), a.bottom(), b.top(), b.bottom());
    return dx * dx + dy * dy;
}

} // namespace

QRect windowOnScreens(const QRect &window, const QList<QRect> &screens, const QMargins &frame, QSize minimum)
{
    if (screens.isEmpty())
        return window;
    const QRect framed = window.marginsAdded(frame);
    // The screen with the largest part of it, else the nearest one.
    const QRect *chosen = nullptr;
    qint64 largest = 0;
    for (const QRect &s : screens) {
        const QRect part = framed.intersected(s);
        const qint64 area = part.isEmpty() ? 0 : qint64(part.width()) * part.height();
        if (area > largest) {
            largest = area;
            chosen = &s;
        }
    }
    if (!chosen) {
        chosen = &screens.first();
        for (const QRect &s : screens) {
            if (distanceSquared(framed, s) < distanceSquared(framed, *chosen))
                chosen = &s;
        }
    }
    const QRect &s = *chosen;
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    const int width = qMax(qMin(window.width(), s.width() - frameWidth), minimum.width());
    const int height = qMax(qMin(window.height(), s.height() - frameHeight), minimum.height());
    // The frame's corner: inside the screen, its left and top edges first.
    const int left = qMax(s.left(), qMin(framed.left(), s.left() + s.width() - width - frameWidth));
    const int top = qMax(s.top(), qMin(framed.top(), s.top() + s.height() - height - frameHeight));
    return QRect(left + frame.left(), top + frame.top(), width, height);
}

} // namespace tessilor::mainlayout
