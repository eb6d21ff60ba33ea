#include "app/figurepicker.h"

#include "base/options.h"
#include "layout/pickerlayout.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

using namespace tessilor;
using namespace tessilor::figurepicker;

namespace {

QColor windowColor()
{
    // The background of the glyph cells: the system's window (content) colour.
    return QPalette().color(QPalette::Base);
}

QColor hoverColor()
{
    return QColor(redOf(kHoverColor), greenOf(kHoverColor), blueOf(kHoverColor));
}

QRect pixelRect(TwipPos p, int width, int height)
{
    return QRect(twipsToPixels(p.left), twipsToPixels(p.top), twipsToPixels(width), twipsToPixels(height));
}

} // namespace

FigurePicker::FigurePicker(QWidget *owner) : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint)
{
    // A thin line around the window sets it apart from what lies below.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setObjectName(QStringLiteral("Figures"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Фигуры"));

    const int glyphs = 2 * (kLastFigureCode - kFirstFigureCode + 1);
    const int innerWidth = kDesignInnerWidth;
    const int innerHeight = figurePickerInnerHeight(glyphs, innerWidth);
    setFixedSize(twipsToPixels(innerWidth), twipsToPixels(innerHeight));
    setAutoFillBackground(true);

    // The template every glyph label starts from; it stays hidden.
    auto *tmpl = new QLabel(this);
    tmpl->setObjectName(QStringLiteral("Label1_0"));
    tmpl->setGeometry(pixelRect({kFirstLeft, kFirstTop}, kLabelSize, kLabelSize));
    tmpl->setAlignment(Qt::AlignCenter);
    tmpl->setAutoFillBackground(true);
    setLabelBackground(tmpl, windowColor());
    tmpl->hide();
    m_labels.append(tmpl);
    m_codes.append(0);
    m_families.append(QString());

    fillFigures();
}

QLabel *FigurePicker::label(int index) const
{
    return index >= 0 && index < m_labels.size() ? m_labels[index] : nullptr;
}

int FigurePicker::codeOf(int index) const
{
    return index >= 0 && index < m_codes.size() ? m_codes[index] : 0;
}

QString FigurePicker::familyOf(int index) const
{
    return index >= 0 && index < m_families.size() ? m_families[index] : QString();
}

void FigurePicker::fillFigures()
{
    for (int f = 1; f <= 2; ++f) {
        const QString family = figureFamily(f);
        for (int code = kFirstFigureCode; code <= kLastFigureCode; ++code)
            addFigure(family, qint16(code), QString());
    }
}

void FigurePicker::addFigure(const QString &fontName, qint16 code, const QString &tip)
{
    const int n = int(m_labels.size());
    const QLabel *tmpl = m_labels.first();

    auto *l = new QLabel(this);
    l->setObjectName(QStringLiteral("Label1_%1").arg(n));
    l->setAlignment(tmpl->alignment());
    l->setAutoFillBackground(true);
    setLabelBackground(l, windowColor());
    l->setMouseTracking(true);
    l->setCursor(Qt::PointingHandCursor);

    QFont font(fontName);
    font.setPointSize(kGlyphPointSize);
    // Figure glyphs must never be replaced by letters of another family.
    font.setStyleStrategy(QFont::NoFontMerging);
    l->setFont(font);
    l->setText(QString(codePageChar(code)));
    l->setToolTip(tip);

    QRect r = tmpl->geometry();
    if (n > 1) {
        const QLabel *prev = m_labels[n - 1];
        const TwipPos prevPos{int(pixelsToTwips(prev->x())), int(pixelsToTwips(prev->y()))};
        const TwipPos p = nextFigureLabelPos(prevPos, pixelsToTwips(prev->width()), pixelsToTwips(width()));
        r.moveTopLeft(QPoint(twipsToPixels(p.left), twipsToPixels(p.top)));
    }
    l->setGeometry(r);
    l->installEventFilter(this);
    l->show();

    m_labels.append(l);
    m_codes.append(code);
    m_families.append(fontName);
}

bool FigurePicker::eventFilter(QObject *watched, QEvent *event)
{
    auto *l = qobject_cast<QLabel *>(watched);
    const int index = l ? int(m_labels.indexOf(l)) : -1;
    if (index > 0) {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::Enter:
            hoverFigure(index);
            break;
        case QEvent::MouseButtonRelease: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::LeftButton && l->rect().contains(me->position().toPoint())) {
                pickFigure(index);
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void FigurePicker::leaveEvent(QEvent *event)
{
    // Nothing stays highlighted once the pointer has left the picker.
    for (QLabel *l : std::as_const(m_labels))
        setLabelBackground(l, windowColor());
    QFrame::leaveEvent(event);
}

void FigurePicker::keyPressEvent(QKeyEvent *event)
{
    // Escape dismisses the picker like a drop-down menu, picking nothing.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void FigurePicker::pickFigure(int index)
{
    const QString family = m_families[index];
    const int code = m_codes[index];
    // Close first so that a handler that opens a new picker finds this one gone.
    close();
    Q_EMIT figurePicked(family, code);
}

void FigurePicker::hoverFigure(int index)
{
    const QColor hover = hoverColor();
    const QColor normal = windowColor();
    for (int c = 0; c < m_labels.size(); ++c)
        setLabelBackground(m_labels[c], c == index ? hover : normal);
}

void FigurePicker::setLabelBackground(QLabel *label, const QColor &color)
{
    QPalette pal = label->palette();
    if (pal.color(QPalette::Window) == color)
        return;
    pal.setColor(QPalette::Window, color);
    pal.setColor(QPalette::WindowText, QPalette().color(QPalette::Text));
    label->setPalette(pal);
}
