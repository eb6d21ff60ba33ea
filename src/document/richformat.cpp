#include "document/richformat.h"

#include "base/numparse.h"
#include "layout/twips.h"

#include <QStringList>

namespace tessilor {

qint32 twipsFromPoints(double points)
{
    return roundHalfEvenTo32(points * 20.0);
}

int pointsFromTwips(qint32 twips)
{
    return twips / 20;
}

QString faceNameField(const QString &face)
{
    return face.left(31);
}

QColor colorFrom24(quint32 c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

quint32 colorTo24(const QColor &c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

QString formatFace(const QTextCharFormat &f)
{
    const QStringList families = f.property(QTextFormat::FontFamilies).toStringList();
    if (!families.isEmpty())
        return families.first();
    return f.property(QTextFormat::FontFamily).toString();
}

namespace {

bool hasFace(const QTextCharFormat &f)
{
    return f.hasProperty(QTextFormat::FontFamilies) || f.hasProperty(QTextFormat::FontFamily);
}

const QTextCharFormat &pick(const QTextCharFormat &f, const QTextCharFormat &fallback, int property)
{
    return f.hasProperty(property) ? f : fallback;
}

bool effectOf(const QTextCharFormat &f, const QTextCharFormat &fallback, quint32 bit)
{
    switch (bit) {
    case CFE_BOLD:
        return pick(f, fallback, QTextFormat::FontWeight).fontWeight() >= QFont::DemiBold;
    case CFE_ITALIC:
        return pick(f, fallback, QTextFormat::FontItalic).fontItalic();
    case CFE_UNDERLINE:
        return pick(f, fallback, QTextFormat::TextUnderlineStyle).fontUnderline();
    case CFE_STRIKEOUT:
        return pick(f, fallback, QTextFormat::FontStrikeOut).fontStrikeOut();
    case CFE_PROTECTED:
        return pick(f, fallback, PropProtected).boolProperty(PropProtected);
    case CFE_LINK:
        return pick(f, fallback, QTextFormat::IsAnchor).isAnchor();
    case CFE_SUPERSCRIPT:
        return pick(f, fallback, QTextFormat::TextVerticalAlignment).verticalAlignment() ==
               QTextCharFormat::AlignSuperScript;
    case CFE_SUBSCRIPT:
        return pick(f, fallback, QTextFormat::TextVerticalAlignment).verticalAlignment() ==
               QTextCharFormat::AlignSubScript;
    default:
        return false;
    }
}

} // namespace

CharFormat2 charFormatOf(const QTextCharFormat &f, const QTextCharFormat &fallback, quint32 mask)
{
    CharFormat2 r;
    r.dwMask = mask;
    static constexpr quint32 kBits[] = {CFE_BOLD,      CFE_ITALIC, CFE_UNDERLINE,   CFE_STRIKEOUT,
                                        CFE_PROTECTED, CFE_LINK,   CFE_SUPERSCRIPT, CFE_SUBSCRIPT};
    for (quint32 bit : kBits)
        if ((mask & bit) && effectOf(f, fallback, bit))
            r.dwEffects |= bit;
    if (mask & CFM_FACE)
        r.szFaceName = faceNameField(formatFace(hasFace(f) ? f : fallback));
    if (mask & CFM_SIZE) {
        const QTextCharFormat &s = pick(f, fallback, QTextFormat::FontPointSize);
        r.yHeight = s.hasProperty(QTextFormat::FontPointSize) ? twipsFromPoints(s.fontPointSize()) : 0;
    }
    if (mask & CFM_COLOR) {
        const QTextCharFormat &s = pick(f, fallback, QTextFormat::ForegroundBrush);
        r.crTextColor = s.hasProperty(QTextFormat::ForegroundBrush) ? colorTo24(s.foreground().color()) : 0;
    }
    if (mask & CFM_BACKCOLOR) {
        const QTextCharFormat &s = pick(f, fallback, QTextFormat::BackgroundBrush);
        r.crBackColor = s.hasProperty(QTextFormat::BackgroundBrush) ? colorTo24(s.background().color()) : 0xFFFFFFu;
    }
    return r;
}

QTextCharFormat charFormatDelta(const CharFormat2 &r)
{
    QTextCharFormat d;
    const quint32 m = r.dwMask;
    if (m & CFM_BOLD)
        d.setFontWeight((r.dwEffects & CFE_BOLD) ? QFont::Bold : QFont::Normal);
    if (m & CFM_ITALIC)
        d.setFontItalic(r.dwEffects & CFE_ITALIC);
    if (m & CFM_UNDERLINE)
        d.setFontUnderline(r.dwEffects & CFE_UNDERLINE);
    if (m & CFM_STRIKEOUT)
        d.setFontStrikeOut(r.dwEffects & CFE_STRIKEOUT);
    if (m & CFM_PROTECTED)
        d.setProperty(PropProtected, bool(r.dwEffects & CFE_PROTECTED));
    if (m & CFM_LINK) {
        d.setAnchor(r.dwEffects & CFE_LINK);
        d.setFontUnderline(r.dwEffects & CFE_LINK);
    }
    if (m & CFM_SUPERSCRIPT) {
        if (r.dwEffects & CFE_SUPERSCRIPT)
            d.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        else if (r.dwEffects & CFE_SUBSCRIPT)
            d.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        else
            d.setVerticalAlignment(QTextCharFormat::AlignNormal);
    }
    if (m & CFM_FACE)
        d.setProperty(QTextFormat::FontFamilies, QStringList(faceNameField(r.szFaceName)));
    if ((m & CFM_SIZE) && r.yHeight > 0)
        d.setFontPointSize(double(r.yHeight) / 20.0);
    if (m & CFM_COLOR)
        d.setForeground(colorFrom24(r.crTextColor));
    if (m & CFM_BACKCOLOR)
        d.setBackground(colorFrom24(r.crBackColor));
    return d;
}

Qt::Alignment alignmentFromCode(int code)
{
    switch (code) {
    case PFA_RIGHT:
        return Qt::AlignRight;
    case PFA_CENTER:
        return Qt::AlignHCenter;
    case PFA_JUSTIFY:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

int alignmentCode(Qt::Alignment a)
{
    if (a & Qt::AlignRight)
        return PFA_RIGHT;
    if (a & Qt::AlignHCenter)
        return PFA_CENTER;
    if (a & Qt::AlignJustify)
        return PFA_JUSTIFY;
    return PFA_LEFT;
}

namespace {

qint32 twipsProperty(const QTextBlockFormat &f, int prop, double pixels)
{
    if (f.hasProperty(prop))
        return f.intProperty(prop);
    return pixelsToWholeTwips(pixels);
}

} // namespace

ParaFormat2 paraFormatOf(const QTextBlockFormat &f, quint32 mask)
{
    ParaFormat2 r;
    r.dwMask = mask;
    const qint32 offset = twipsProperty(f, PropOffset, -f.textIndent());
    if (mask & PFM_STARTINDENT)
        r.dxStartIndent = f.hasProperty(PropStartIndent) ? f.intProperty(PropStartIndent)
                                                         : pixelsToWholeTwips(f.leftMargin()) - offset;
    if (mask & PFM_OFFSET)
        r.dxOffset = offset;
    if (mask & PFM_RIGHTINDENT)
        r.dxRightIndent = twipsProperty(f, PropRightIndent, f.rightMargin());
    if (mask & PFM_ALIGNMENT)
        r.wAlignment =
            f.hasProperty(PropAlignment) ? qint16(f.intProperty(PropAlignment)) : qint16(alignmentCode(f.alignment()));
    if (mask & PFM_NUMBERING)
        r.wNumbering = qint16(f.intProperty(PropNumbering));
    if (mask & PFM_SPACEBEFORE)
        r.dySpaceBefore = twipsProperty(f, PropSpaceBefore, f.topMargin());
    if (mask & PFM_SPACEAFTER)
        r.dySpaceAfter = twipsProperty(f, PropSpaceAfter, f.bottomMargin());
    if (mask & PFM_LINESPACING) {
        r.bLineSpacingRule = quint8(f.intProperty(PropLineRule));
        r.dyLineSpacing = f.intProperty(PropLineSpacing);
    }
    return r;
}

void applyParaFormat(const ParaFormat2 &r, QTextBlockFormat &f)
{
    const quint32 m = r.dwMask;
    qint32 start = paraFormatOf(f, PFM_STARTINDENT).dxStartIndent;
    qint32 offset = paraFormatOf(f, PFM_OFFSET).dxOffset;
    if (m & PFM_STARTINDENT)
        start = r.dxStartIndent;
    if (m & PFM_OFFSET)
        offset = r.dxOffset;
    if (m & (PFM_STARTINDENT | PFM_OFFSET)) {
        // Lines after the first start at start + offset; the first at start.
        f.setProperty(PropStartIndent, start);
        f.setProperty(PropOffset, offset);
        f.setLeftMargin(twipsInPixels(start + offset));
        f.setTextIndent(twipsInPixels(-offset));
    }
    if (m & PFM_RIGHTINDENT) {
        f.setProperty(PropRightIndent, r.dxRightIndent);
        f.setRightMargin(twipsInPixels(r.dxRightIndent));
    }
    if (m & PFM_ALIGNMENT) {
        f.setProperty(PropAlignment, int(r.wAlignment));
        f.setAlignment(alignmentFromCode(r.wAlignment));
    }
    if (m & PFM_NUMBERING)
        f.setProperty(PropNumbering, int(r.wNumbering));
    if (m & PFM_SPACEBEFORE) {
        f.setProperty(PropSpaceBefore, r.dySpaceBefore);
        f.setTopMargin(twipsInPixels(r.dySpaceBefore));
    }
    if (m & PFM_SPACEAFTER) {
        f.setProperty(PropSpaceAfter, r.dySpaceAfter);
        f.setBottomMargin(twipsInPixels(r.dySpaceAfter));
    }
    if (m & PFM_LINESPACING) {
        f.setProperty(PropLineRule, int(r.bLineSpacingRule));
        f.setProperty(PropLineSpacing, r.dyLineSpacing);
        const double px = twipsInPixels(r.dyLineSpacing);
        switch (r.bLineSpacingRule) {
        case 1:
            f.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
            break;
        case 2:
            f.setLineHeight(200, QTextBlockFormat::ProportionalHeight);
            break;
        case 3:
            f.setLineHeight(px, QTextBlockFormat::MinimumHeight);
            break;
        case 4:
            f.setLineHeight(px, QTextBlockFormat::FixedHeight);
            break;
        case 5:
            f.setLineHeight(double(r.dyLineSpacing) / 20.0 * 100.0, QTextBlockFormat::ProportionalHeight);
            break;
        default:
            f.setLineHeight(100, QTextBlockFormat::SingleHeight);
            break;
        }
    }
}

} // namespace tessilor
