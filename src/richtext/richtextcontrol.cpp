#include "richtext/richtextcontrol.h"

#include "document/documentfill.h"
#include "document/mosaiclayout.h"
#include "document/plaintext.h"
#include "document/rtf.h"
#include "document/streambuffer.h"
#include "richtext/richedithooks.h"

#include "base/options.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextList>
#include <algorithm>
#include <stdexcept>

namespace tessilor {

namespace {

constexpr const char *kRtfMime = "text/rtf";
constexpr const char *kRtfMimeAlt = "application/rtf";
constexpr quint32 kReadOnlyOption = 0x800; // ECO_READONLY, same bit as ES_READONLY
constexpr quint32 kAllCharMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK |
                                 CFM_SUPERSCRIPT | CFM_BACKCOLOR | CFM_COLOR | CFM_FACE | CFM_SIZE;

// Virtual key code of a Qt key, as key handlers see it.
int virtualKey(int key)
{
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Menu:
        return 93;
    default:
        return key & 0xFFFF;
    }
}

int buttonCode(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

// Decodes a plain-text file: UTF-8, or the Cyrillic code page when the bytes
// are not valid UTF-8 (files of older versions).
QString decodePlain(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.append(codePageChar(uchar(c)));
    return out;
}

// A figure mosaic keeps its colours beside the document while it is only
// shown (MosaicCells); what reads or changes formats has them written into
// the document first. The caret, the selection and the view stay.
void settleMosaic(QTextEdit *edit)
{
    if (!edit)
        return;
    QTextDocument *doc = edit->document();
    if (!MosaicCells::of(doc))
        return;
    const QTextCursor was = edit->textCursor();
    const int anchor = was.anchor();
    const int position = was.position();
    const int h = edit->horizontalScrollBar()->value();
    const int v = edit->verticalScrollBar()->value();
    MosaicLayout::settleColours(doc);
    QTextCursor back(doc);
    back.setPosition(std::clamp(anchor, 0, doc->characterCount() - 1));
    back.setPosition(std::clamp(position, 0, doc->characterCount() - 1), QTextCursor::KeepAnchor);
    edit->setTextCursor(back);
    edit->horizontalScrollBar()->setValue(h);
    edit->verticalScrollBar()->setValue(v);
}

} // namespace

// ---------------------------------------------------------------------------
// The edit window

RichEditWindow::RichEditWindow(QWidget *parent) : QTextEdit(parent)
{
    setAcceptRichText(true);
    setContextMenuPolicy(Qt::NoContextMenu);
}

QMimeData *RichEditWindow::createMimeDataFromSelection() const
{
    const QTextCursor c = textCursor();
    if (!m_owner)
        return QTextEdit::createMimeDataFromSelection();
    return m_owner->mimeForRange(c.selectionStart(), c.selectionEnd());
}

bool RichEditWindow::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasFormat(QLatin1String(kRtfMime)) || source->hasFormat(QLatin1String(kRtfMimeAlt)) ||
           QTextEdit::canInsertFromMimeData(source);
}

void RichEditWindow::insertFromMimeData(const QMimeData *source)
{
    if (m_owner)
        m_owner->insertMime(source, false);
    else
        QTextEdit::insertFromMimeData(source);
}

bool RichEditWindow::event(QEvent *e)
{
    if (m_owner && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)) {
        if (m_owner->filterKey(static_cast<QKeyEvent *>(e)))
            return true;
    }
    return QTextEdit::event(e);
}

bool RichEditWindow::viewportEvent(QEvent *e)
{
    if (m_owner) {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            m_owner->filterMouse(static_cast<QMouseEvent *>(e));
            break;
        case QEvent::Drop:
            m_owner->noteUndoKind(UID_DRAGDROP);
            break;
        default:
            break;
        }
    }
    return QTextEdit::viewportEvent(e);
}

// ---------------------------------------------------------------------------
// Life cycle

RichTextControl::RichTextControl(QObject *parent) : QObject(parent) {}

RichTextControl::~RichTextControl()
{
    // The hooks never keep an owner alive: take ours out before we go. A
    // window still standing (it belongs to its parent until Destroy) goes on
    // as a plain edit window.
    richEditHooks::DetachRichEdit(this);
    if (m_edit) {
        m_edit->m_owner = nullptr;
        m_edit->disconnect(this);
        m_edit->document()->disconnect(this);
    }
}

QTextEdit *RichTextControl::Create(QWidget *hParent, quint32 dwStyle, int nLeft, int nTop, int nWidth, int nHeight)
{
    if (m_edit)
        Destroy();
    m_menu = new QMenu(hParent);
    connect(m_menu, &QMenu::triggered, this, [this](QAction *a) { Q_EMIT MenuClick(a->data().toInt()); });
    auto *edit = new RichEditWindow(hParent);
    edit->m_owner = this;
    m_edit = edit;
    m_style = dwStyle;
    m_options = dwStyle & (0x1u | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL | ES_WANTRETURN | 0x8000u);
    edit->setReadOnly(dwStyle & ES_READONLY);
    edit->setFrameShape((dwStyle & ES_SUNKEN) ? QFrame::StyledPanel : QFrame::NoFrame);
    const Qt::ScrollBarPolicy bars = (dwStyle & ES_DISABLENOSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
    edit->setVerticalScrollBarPolicy((dwStyle & WS_VSCROLL) ? bars : Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy((dwStyle & WS_HSCROLL) ? bars : Qt::ScrollBarAlwaysOff);
    edit->setLineWrapMode((dwStyle & WS_HSCROLL) || (dwStyle & ES_AUTOHSCROLL) ? QTextEdit::NoWrap
                                                                               : QTextEdit::WidgetWidth);
    edit->setGeometry(nLeft, nTop, nWidth, nHeight);
    // Pointer moves are reported without a pressed button too.
    edit->viewport()->setMouseTracking(true);
    // The control starts in its parent's font, black on the window colour.
    const QFont parentFont = hParent ? hParent->font() : QGuiApplication::font();
    QTextDocument *doc = edit->document();
    doc->setDefaultFont(parentFont);
    doc->setUndoRedoEnabled(m_undoLimit > 0);
    m_default = QTextCharFormat();
    m_default.setProperty(QTextFormat::FontFamilies, QStringList(parentFont.family()));
    m_default.setFontPointSize(parentFont.pointSizeF() > 0 ? parentFont.pointSizeF() : 8.25);
    m_default.setForeground(QColor(0, 0, 0));
    resetEmptyFormat();
    m_undoKinds.clear();
    m_redoKinds.clear();
    connect(doc, &QTextDocument::undoCommandAdded, this, &RichTextControl::onUndoCommandAdded);
    connect(edit, &QTextEdit::selectionChanged, this, &RichTextControl::onSelectionChanged);
    connect(edit, &QTextEdit::cursorPositionChanged, this, &RichTextControl::onSelectionChanged);
    connect(doc, &QTextDocument::contentsChange, this, &RichTextControl::onContentsChange);
    connect(edit->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int) {
        RichEditNotification n;
        n.code = WM_VSCROLL;
        richEditHooks::notifySelf(m_edit, n);
    });
    connect(edit->horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int) {
        RichEditNotification n;
        n.code = WM_HSCROLL;
        richEditHooks::notifySelf(m_edit, n);
    });
    const Range r = GetSelRange();
    m_lastSel = r;
    edit->show();
    richEditHooks::AttachRichEdit(this);
    return edit;
}

void RichTextControl::Destroy()
{
    richEditHooks::DetachRichEdit(this);
    if (m_edit) {
        m_edit->m_owner = nullptr;
        m_edit->disconnect(this);
        m_edit->document()->disconnect(this);
        delete m_edit.data();
    }
    m_edit = nullptr;
    delete m_menu.data();
    m_menu = nullptr;
}

qint32 RichTextControl::zRichEditCallBack(int uMsg, const RichEditNotification &lParam)
{
    qint32 answer = 0;
    switch (uMsg) {
    case WM_HSCROLL:
        Q_EMIT HScroll();
        break;
    case WM_VSCROLL:
        Q_EMIT VScroll();
        break;
    case EN_SELCHANGE:
        Q_EMIT SelectionChange(lParam.cpMin, lParam.cpMax, lParam.selType);
        break;
    case EN_PROTECTED: {
        // Without a handler protected text stays protected.
        int bCancel = isSignalConnected(QMetaMethod::fromSignal(&RichTextControl::ModifyProtected)) ? 0 : 1;
        Q_EMIT ModifyProtected(bCancel, lParam.cpMin, lParam.cpMax);
        answer = bCancel;
        break;
    }
    case EN_LINK:
        Q_EMIT LinkOver(int(qint16(lParam.msg)), lParam.cpMin, lParam.cpMax);
        break;
    case EN_MSGFILTER: {
        int shift = lParam.shift;
        int x = lParam.x;
        int y = lParam.y;
        const int msg = lParam.msg;
        if (msg == WM_KEYDOWN || msg == WM_KEYUP) {
            int key = lParam.wParam & 0xFFFF;
            if (msg == WM_KEYDOWN)
                Q_EMIT KeyDown(key, shift);
            else
                Q_EMIT KeyUp(key, shift);
            answer = key == 0 ? 1 : 0;
        } else if (msg == WM_CHAR) {
            int ascii = lParam.wParam & 0xFFFF;
            Q_EMIT KeyPress(ascii);
            answer = ascii == 0 ? 1 : 0;
        } else if (msg == WM_MOUSEMOVE) {
            Q_EMIT MouseMove(x, y, shift);
        } else if (msg >= WM_LBUTTONDOWN && msg <= WM_MBUTTONDBLCLK) {
            const int kind = (msg - WM_LBUTTONDOWN) % 3; // 0 down, 1 up, 2 double click
            int button = 1 << ((msg - WM_LBUTTONDOWN) / 3);
            if (kind == 0)
                Q_EMIT MouseDown(button, x, y, shift);
            else if (kind == 1)
                Q_EMIT MouseUp(button, x, y, shift);
            else
                Q_EMIT DblClick(button, x, y, shift);
        }
        break;
    }
    default:
        break;
    }
    return answer;
}

void RichTextControl::setRichEditMenu(const QList<std::optional<QString>> &inMenuIttems)
{
    if (!m_menu)
        return;
    m_menu->clear();
    for (int k = 0; k < inMenuIttems.size(); ++k) {
        QAction *a = inMenuIttems[k] ? m_menu->addAction(*inMenuIttems[k]) : m_menu->addSeparator();
        a->setData(kFirstMenuId + k);
    }
}

void RichTextControl::RichEditMenu2(const QStringList &inMenuIttems, const QList<quint32> &Flags)
{
    if (!m_menu)
        return;
    m_menu->clear();
    for (int k = 0; k < inMenuIttems.size(); ++k) {
        if (inMenuIttems[k].isEmpty()) {
            m_menu->addSeparator()->setData(kFirstMenuId + k);
            continue;
        }
        const quint32 flags = (k < Flags.size() ? Flags[k] : 0u) | MF_BYPOSITION;
        QAction *a = m_menu->addAction(inMenuIttems[k]);
        a->setData(kFirstMenuId + k);
        if (flags & MF_SEPARATOR)
            a->setSeparator(true);
        if (flags & (MF_GRAYED | MF_DISABLED))
            a->setEnabled(false);
        if (flags & MF_CHECKED) {
            a->setCheckable(true);
            a->setChecked(true);
        }
    }
}

// ---------------------------------------------------------------------------
// Plain properties

bool RichTextControl::AutoURL() const
{
    return m_edit && m_autoUrl;
}

void RichTextControl::setAutoURL(bool value)
{
    if (!m_edit)
        return;
    m_autoUrl = value;
    if (value)
        markUrls(0, docLength());
}

void RichTextControl::setBackColor(quint32 oleColor)
{
    if (!m_edit)
        return;
    QPalette p = m_edit->palette();
    p.setColor(QPalette::Base, colorFrom24(TranslateColor(oleColor)));
    m_edit->setPalette(p);
}

int RichTextControl::SelStart() const
{
    return GetSelRange().cpMin;
}

void RichTextControl::setSelStart(int value)
{
    SetSelRange(value, GetSelRange().cpMax);
}

int RichTextControl::SelLength() const
{
    const Range r = GetSelRange();
    return r.cpMax - r.cpMin;
}

void RichTextControl::setSelLength(int value)
{
    const int start = GetSelRange().cpMin;
    SetSelRange(start, start + value);
}

int RichTextControl::MaxLength() const
{
    return m_edit ? m_maxLength : 0;
}

void RichTextControl::setMaxLength(int value)
{
    if (m_edit)
        m_maxLength = value == 0 ? 65536 : value;
}

// ---------------------------------------------------------------------------
// Character format

#define TESSILOR_EFFECT(Name, bit)                                                                                     \
    bool RichTextControl::Name(int fOpt) const                                                                         \
    {                                                                                                                  \
        return GetCharFormat(fOpt, bit).dwEffects & (bit);                                                             \
    }                                                                                                                  \
    void RichTextControl::set##Name(int fOpt, bool value)                                                              \
    {                                                                                                                  \
        CharFormat2 r;                                                                                                 \
        r.dwEffects = value ? (bit) : 0;                                                                               \
        SetCharFormat(r, fOpt, bit);                                                                                   \
    }

TESSILOR_EFFECT(FontBold, CFM_BOLD)
TESSILOR_EFFECT(FontItalic, CFM_ITALIC)
TESSILOR_EFFECT(FontUnderline, CFM_UNDERLINE)
TESSILOR_EFFECT(FontStrikeOut, CFM_STRIKEOUT)
TESSILOR_EFFECT(FontLink, CFM_LINK)
TESSILOR_EFFECT(FontLocked, CFM_PROTECTED)
#undef TESSILOR_EFFECT

quint32 RichTextControl::FontColor(int fOpt) const
{
    return m_edit ? GetCharFormat(fOpt, CFM_COLOR).crTextColor : 0;
}

void RichTextControl::setFontColor(int fOpt, quint32 oleColor)
{
    CharFormat2 r;
    r.crTextColor = TranslateColor(oleColor);
    SetCharFormat(r, fOpt, CFM_COLOR);
}

quint32 RichTextControl::FontBackColor(int fOpt) const
{
    return m_edit ? GetCharFormat(fOpt, CFM_BACKCOLOR).crBackColor : 0;
}

void RichTextControl::setFontBackColor(int fOpt, quint32 oleColor)
{
    CharFormat2 r;
    r.crBackColor = TranslateColor(oleColor);
    SetCharFormat(r, fOpt, CFM_BACKCOLOR);
}

bool RichTextControl::FontSuperScript(int fOpt) const
{
    return GetCharFormat(fOpt, CFM_SUPERSCRIPT).dwEffects & CFE_SUPERSCRIPT;
}

void RichTextControl::setFontSuperScript(int fOpt, bool value)
{
    CharFormat2 r;
    r.dwEffects = value ? CFE_SUPERSCRIPT : 0;
    SetCharFormat(r, fOpt, CFM_SUPERSCRIPT);
}

QFont RichTextControl::Font(int fOpt) const
{
    if (!m_edit)
        return QFont();
    const CharFormat2 r = GetCharFormat(fOpt, 0xA000000Fu);
    QFont f(r.szFaceName);
    f.setPointSize(qMax(1, pointsFromTwips(r.yHeight)));
    f.setBold(r.dwEffects & CFE_BOLD);
    f.setItalic(r.dwEffects & CFE_ITALIC);
    f.setUnderline(r.dwEffects & CFE_UNDERLINE);
    f.setStrikeOut(r.dwEffects & CFE_STRIKEOUT);
    return f;
}

void RichTextControl::setFont(int fOpt, const QFont &font)
{
    CharFormat2 r;
    if (font.bold()) {
        r.dwMask |= CFM_BOLD;
        r.dwEffects |= CFE_BOLD;
    }
    if (font.italic()) {
        r.dwMask |= CFM_ITALIC;
        r.dwEffects |= CFE_ITALIC;
    }
    if (font.strikeOut()) {
        r.dwMask |= CFM_STRIKEOUT;
        r.dwEffects |= CFE_STRIKEOUT;
    }
    if (font.underline()) {
        r.dwMask |= CFM_UNDERLINE;
        r.dwEffects |= CFE_UNDERLINE;
    }
    r.dwMask |= CFM_FACE | CFM_SIZE;
    r.szFaceName = faceNameField(font.family());
    r.yHeight = twipsFromPoints(font.pointSizeF() > 0 ? font.pointSizeF() : double(font.pixelSize()) * 0.75);
    SetCharFormat(r, fOpt, 0);
}

quint32 RichTextControl::Style() const
{
    return m_edit ? m_editStyle : 0;
}

void RichTextControl::setStyle(quint32 value)
{
    if (m_edit)
        m_editStyle = value;
}

bool RichTextControl::Options(quint32 inOption) const
{
    if (!m_edit)
        return false;
    quint32 now = m_options & ~kReadOnlyOption;
    if (m_edit->isReadOnly())
        now |= kReadOnlyOption;
    return (now & inOption) == inOption;
}

void RichTextControl::setOptions(quint32 inOption, bool value)
{
    if (!m_edit)
        return;
    m_options = value ? (m_options | inOption) : (m_options & ~inOption);
    if (inOption & kReadOnlyOption)
        m_edit->setReadOnly(value);
}

// ---------------------------------------------------------------------------
// Paragraph format

int RichTextControl::ParagraphNum() const
{
    return signExtend16(quint16(GetParaFormat(PFM_NUMBERING).wNumbering));
}

void RichTextControl::setParagraphNum(int value)
{
    if (value < -32768 || value > 32767)
        throw std::overflow_error("ParagraphNum: value outside 16 bits");
    ParaFormat2 r;
    r.wNumbering = qint16(value);
    SetParaFormat(r, PFM_NUMBERING);
}

int RichTextControl::ParagraphOffsets(int iType) const
{
    switch (iType) {
    case 1:
        return GetParaFormat(PFM_STARTINDENT).dxStartIndent;
    case 2:
        return GetParaFormat(PFM_OFFSET).dxOffset;
    case 3:
        return GetParaFormat(PFM_RIGHTINDENT).dxRightIndent;
    default:
        return 0;
    }
}

void RichTextControl::setParagraphOffsets(int iType, int twips)
{
    ParaFormat2 r;
    switch (iType) {
    case 1:
        r.dxStartIndent = twips;
        SetParaFormat(r, PFM_STARTINDENT);
        break;
    case 2:
        r.dxOffset = twips;
        SetParaFormat(r, PFM_OFFSET);
        break;
    case 3:
        r.dxRightIndent = twips;
        SetParaFormat(r, PFM_RIGHTINDENT);
        break;
    default:
        break;
    }
}

int RichTextControl::ParagraphAlignment() const
{
    return signExtend16(quint16(GetParaFormat(PFM_ALIGNMENT).wAlignment));
}

void RichTextControl::setParagraphAlignment(int value)
{
    if (value < -32768 || value > 32767)
        throw std::overflow_error("ParagraphAlignment: value outside 16 bits");
    ParaFormat2 r;
    r.wAlignment = qint16(value);
    SetParaFormat(r, PFM_ALIGNMENT);
}

int RichTextControl::ParagraphSpacing(bool bBefore) const
{
    const ParaFormat2 r = GetParaFormat(bBefore ? PFM_SPACEBEFORE : PFM_SPACEAFTER);
    return bBefore ? r.dySpaceBefore : r.dySpaceAfter;
}

void RichTextControl::setParagraphSpacing(bool bBefore, int twips)
{
    ParaFormat2 r;
    if (bBefore)
        r.dySpaceBefore = twips;
    else
        r.dySpaceAfter = twips;
    SetParaFormat(r, bBefore ? PFM_SPACEBEFORE : PFM_SPACEAFTER);
}

void RichTextControl::GetParagraphLineSpacing(int &outLineSpacingStyle, int &outYSpacing) const
{
    const ParaFormat2 r = GetParaFormat(PFM_LINESPACING);
    outLineSpacingStyle = r.bLineSpacingRule;
    outYSpacing = r.dyLineSpacing;
}

void RichTextControl::SetParagraphLineSpacing(int outLineSpacingStyle, int outYSpacing)
{
    if (outLineSpacingStyle < 0 || outLineSpacingStyle > 255)
        throw std::overflow_error("SetParagraphLineSpacing: style outside 0..255");
    ParaFormat2 r;
    r.bLineSpacingRule = quint8(outLineSpacingStyle);
    r.dyLineSpacing = outYSpacing;
    SetParaFormat(r, PFM_LINESPACING);
}

// ---------------------------------------------------------------------------
// State

bool RichTextControl::Modified() const
{
    return m_edit && m_edit->document()->isModified();
}

void RichTextControl::setModified(bool value)
{
    if (m_edit)
        m_edit->document()->setModified(value);
}

bool RichTextControl::Locked() const
{
    return m_edit && m_edit->isReadOnly();
}

void RichTextControl::setLocked(bool value)
{
    if (!m_edit)
        return;
    m_edit->setReadOnly(value);
    // A locked control still shows its caret and lets the user select.
    m_edit->setTextInteractionFlags(value ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                          : Qt::TextEditorInteraction);
}

void RichTextControl::setWordWrap(bool value)
{
    if (m_edit)
        m_edit->setLineWrapMode(value ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void RichTextControl::setSelVisible(bool value)
{
    if (!m_edit)
        return;
    QPalette p = m_edit->palette();
    const QPalette app = QApplication::palette(m_edit);
    if (value) {
        p.setColor(QPalette::Highlight, app.color(QPalette::Highlight));
        p.setColor(QPalette::HighlightedText, app.color(QPalette::HighlightedText));
    } else {
        p.setColor(QPalette::Highlight, Qt::transparent);
        p.setColor(QPalette::HighlightedText, p.color(QPalette::Text));
    }
    m_edit->setPalette(p);
}

bool RichTextControl::Border() const
{
    return m_edit && (m_style & ES_SUNKEN);
}

// ---------------------------------------------------------------------------
// Streaming

QString RichTextControl::Text(bool isRtf) const
{
    if (!m_edit)
        return QString();
    const QString out = streamOut(isRtf);
    richEditHooks::SetStreamBuffer(QString());
    richEditHooks::pushText(richEditHooks::StreamOutToBuffer, 0, out, m_chunk);
    const QString result = richEditHooks::GetStreamBuffer();
    richEditHooks::SetStreamBuffer(QString());
    return result;
}

void RichTextControl::setText(bool isRtf, const QString &sText)
{
    if (!m_edit)
        return;
    richEditHooks::SetStreamBuffer(sText);
    const QString text = richEditHooks::pullText(richEditHooks::StreamInFromBuffer, 0, m_chunk);
    richEditHooks::SetStreamBuffer(QString());
    streamIn(text, isRtf, false);
    setModified(false);
}

QString RichTextControl::LoadFile(const QString &sFileName, bool bIsRtf)
{
    if (!m_edit)
        return QString();
    QFile file(sFileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes =
        richEditHooks::pullBytes(richEditHooks::StreamInFromFile, reinterpret_cast<quintptr>(&file), m_chunk);
    if (file.error() != QFileDevice::NoError)
        return QString();
    if (bIsRtf && looksLikeRtf(bytes)) {
        replaceWithRtf(bytes);
    } else {
        streamIn(decodePlain(bytes), false, false);
    }
    setModified(false);
    return QString();
}

bool RichTextControl::SaveFile(const QString &sFileName, bool bIsRtf)
{
    if (!m_edit || sFileName.isEmpty())
        return false;
    if (bIsRtf)
        settleMosaic(m_edit);
    const QByteArray bytes = bIsRtf ? writeRtf(*m_edit->document(), m_default) : writePlainText(*m_edit->document());
    OutputFile file(sFileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 written = richEditHooks::pushBytes(
        richEditHooks::StreamOutToFile, reinterpret_cast<quintptr>(static_cast<QIODevice *>(&file)), bytes, m_chunk);
    if (written != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    return written > 0;
}

QString RichTextControl::streamOut(bool isRtf) const
{
    if (isRtf) {
        settleMosaic(m_edit);
        return QString::fromLatin1(writeRtf(*m_edit->document(), m_default));
    }
    return documentPlainText(*m_edit->document());
}

QTextBlockFormat RichTextControl::keptBlockFormat() const
{
    return m_edit->document()->begin().blockFormat();
}

void RichTextControl::streamIn(const QString &text, bool isRtf, bool keepUndo)
{
    if (isRtf && looksLikeRtf(text)) {
        replaceWithRtf(rtfBytesFromString(text));
    } else {
        QTextDocument *doc = m_edit->document();
        const QTextBlockFormat block = keptBlockFormat();
        withUndo(keepUndo, [&] { readPlainText(*doc, text, m_default, block); });
        applyNumbering(0, docLength());
        resetCaret();
    }
}

void RichTextControl::replaceWithRtf(const QByteArray &rtf)
{
    QTextDocument *doc = m_edit->document();
    RtfReadOptions options;
    options.baseFormat = m_default;
    options.baseBlock = keptBlockFormat();
    withUndo(false, [&] {
        if (!readRtf(rtf, *doc, options))
            readPlainText(*doc, QString::fromLatin1(rtf), m_default, options.baseBlock);
    });
    resetCaret();
}

template<typename F>
void RichTextControl::withUndo(bool keepUndo, F &&work)
{
    QTextDocument *doc = m_edit->document();
    if (!keepUndo) {
        doc->setUndoRedoEnabled(false);
        m_undoKinds.clear();
        m_redoKinds.clear();
    }
    work();
    if (!keepUndo)
        doc->setUndoRedoEnabled(m_undoLimit > 0);
}

void RichTextControl::resetCaret()
{
    QTextCursor c(m_edit->document());
    c.setPosition(0);
    if (m_edit->document()->isEmpty())
        c.setCharFormat(m_default);
    m_edit->setTextCursor(c);
}

void RichTextControl::resetEmptyFormat()
{
    QTextDocument *doc = m_edit->document();
    if (!doc->isEmpty())
        return;
    QTextCursor c(doc);
    c.setBlockCharFormat(m_default);
    c.setCharFormat(m_default);
    m_edit->setTextCursor(c);
}

// ---------------------------------------------------------------------------
// Methods

int RichTextControl::FindText(const QString &sText, int fOptions, int lStart, int lFinish) const
{
    if (!m_edit || sText.isEmpty())
        return -1;
    const int end = docLength();
    QTextDocument::FindFlags flags;
    if (fOptions & FR_MATCHCASE)
        flags |= QTextDocument::FindCaseSensitively;
    if (fOptions & FR_WHOLEWORD)
        flags |= QTextDocument::FindWholeWords;
    const int start = qBound(0, lStart, end);
    if (fOptions & FR_DOWN) {
        const int finish = lFinish < 0 ? end : qBound(0, lFinish, end);
        QTextCursor c(m_edit->document());
        c.setPosition(start);
        const QTextCursor hit = m_edit->document()->find(sText, c, flags);
        if (hit.isNull() || hit.selectionEnd() > finish)
            return -1;
        return hit.selectionStart();
    }
    const int finish = lFinish < 0 ? 0 : qBound(0, lFinish, end);
    QTextCursor c(m_edit->document());
    c.setPosition(start);
    const QTextCursor hit = m_edit->document()->find(sText, c, flags | QTextDocument::FindBackward);
    if (hit.isNull() || hit.selectionStart() < finish)
        return -1;
    return hit.selectionStart();
}

int RichTextControl::LineLength(int line) const
{
    if (!m_edit)
        return 0;
    return lineLengthAt(lineIndex(line));
}

bool RichTextControl::CanPaste() const
{
    if (!m_edit)
        return false;
    const QMimeData *m = QGuiApplication::clipboard()->mimeData();
    return m && (m->hasText() || m->hasHtml() || m->hasFormat(QLatin1String(kRtfMime)) ||
                 m->hasFormat(QLatin1String(kRtfMimeAlt)));
}

bool RichTextControl::CanRedo() const
{
    return m_edit && m_edit->document()->isRedoAvailable();
}

bool RichTextControl::CanUndo() const
{
    return m_edit && m_edit->document()->isUndoAvailable();
}

bool RichTextControl::SetUndoLim(int inValue)
{
    if (!m_edit || inValue < 0)
        return false;
    m_undoLimit = inValue;
    m_edit->document()->setUndoRedoEnabled(inValue > 0);
    return true;
}

bool RichTextControl::CanCopy() const
{
    const Range r = GetSelRange();
    return r.cpMin < r.cpMax;
}

int RichTextControl::UndoType() const
{
    return CanUndo() && !m_undoKinds.isEmpty() ? m_undoKinds.last() : UID_UNKNOWN;
}

int RichTextControl::RedoType() const
{
    return CanRedo() && !m_redoKinds.isEmpty() ? m_redoKinds.last() : UID_UNKNOWN;
}

void RichTextControl::SetUndoPoint()
{
    if (m_edit)
        m_stopGroup = true;
}

void RichTextControl::ClearUndo()
{
    if (!m_edit)
        return;
    m_edit->document()->clearUndoRedoStacks();
    m_undoKinds.clear();
    m_redoKinds.clear();
}

void RichTextControl::Cut()
{
    if (!m_edit || m_edit->isReadOnly() || !CanCopy())
        return;
    const Range r = GetSelRange();
    if (!allowProtectedChange(r.cpMin, r.cpMax, WM_CUT_MSG))
        return;
    noteUndoKind(UID_CUT);
    m_edit->cut();
}

void RichTextControl::Copy()
{
    if (!m_edit || !CanCopy())
        return;
    const Range r = GetSelRange();
    QGuiApplication::clipboard()->setMimeData(mimeForRange(r.cpMin, r.cpMax));
}

QMimeData *RichTextControl::selectionMimeData() const
{
    if (!m_edit || !CanCopy())
        return new QMimeData;
    const Range r = GetSelRange();
    return mimeForRange(r.cpMin, r.cpMax);
}

void RichTextControl::Paste()
{
    if (!m_edit || m_edit->isReadOnly())
        return;
    if (const QMimeData *m = QGuiApplication::clipboard()->mimeData())
        insertMime(m, false);
}

void RichTextControl::PasteSpecial()
{
    Paste();
}

void RichTextControl::Undo()
{
    if (!CanUndo())
        return;
    if (!m_undoKinds.isEmpty())
        m_redoKinds.append(m_undoKinds.takeLast());
    m_inUndo = true;
    m_edit->document()->undo();
    m_inUndo = false;
}

void RichTextControl::Redo()
{
    if (!CanRedo())
        return;
    if (!m_redoKinds.isEmpty())
        m_undoKinds.append(m_redoKinds.takeLast());
    m_inUndo = true;
    m_edit->document()->redo();
    m_inUndo = false;
}

void RichTextControl::Clear()
{
    if (!m_edit || m_edit->isReadOnly() || !CanCopy())
        return;
    const Range r = GetSelRange();
    if (!allowProtectedChange(r.cpMin, r.cpMax, WM_CLEAR_MSG))
        return;
    noteUndoKind(UID_DELETE);
    QTextCursor c = m_edit->textCursor();
    c.removeSelectedText();
    m_edit->setTextCursor(c);
}

void RichTextControl::Redraw(bool bState)
{
    if (!m_edit)
        return;
    m_edit->setUpdatesEnabled(bState);
    if (bState) {
        m_edit->viewport()->update();
        m_edit->update();
    }
}

QString RichTextControl::LineText(int lLine) const
{
    if (!m_edit)
        return QString();
    const int i = lineIndex(lLine);
    if (i < 0)
        return QString();
    return rangeText(i, i + lineLengthAt(i), QString());
}

int RichTextControl::CurrentLine() const
{
    return m_edit ? lineOf(GetSelRange().cpMin) : 0;
}

int RichTextControl::CurrentLineTextLength() const
{
    return m_edit ? lineLengthAt(-1) : 0;
}

int RichTextControl::LinesCount() const
{
    return m_edit ? lineCount() : 0;
}

QString RichTextControl::TextInRange(int lStart, int lEnd) const
{
    if (!m_edit)
        return QString();
    const int end = lEnd < 0 ? docLength() : qMin(lEnd, docLength());
    const int start = qBound(0, lStart, docLength());
    if (end - start < 1)
        return QString();
    return rangeText(start, end, QStringLiteral("\r"));
}

QString RichTextControl::SelectedText() const
{
    if (!m_edit)
        return QString();
    const Range r = GetSelRange();
    if (r.cpMax <= r.cpMin)
        return QString();
    return rangeText(r.cpMin, r.cpMax, QStringLiteral("\r"));
}

int RichTextControl::GetTextLength(int lFlags, int CodePage) const
{
    if (!m_edit)
        return 0;
    const QString text =
        documentPlainText(*m_edit->document(), (lFlags & GTL_USECRLF) ? QStringLiteral("\r\n") : QStringLiteral("\r"));
    constexpr int GTL_NUMBYTES = 16;
    if (lFlags & GTL_NUMBYTES) {
        if (CodePage == 1200)
            return int(text.size() * 2);
        if (CodePage == 65001)
            return int(text.toUtf8().size());
    }
    return int(text.size());
}

QString RichTextControl::GetText(bool UseCrLf) const
{
    if (!m_edit)
        return QString();
    return documentPlainText(*m_edit->document(), UseCrLf ? QStringLiteral("\r\n") : QStringLiteral("\r"));
}

void RichTextControl::SetText(const QString &sText, int uFlags)
{
    if (!m_edit)
        return;
    const bool keepUndo = uFlags & ST_KEEPUNDO;
    if (!(uFlags & ST_SELECTION)) {
        streamIn(sText, true, keepUndo);
        setModified(false);
        return;
    }
    QTextCursor c = m_edit->textCursor();
    withUndo(keepUndo, [&] {
        if (looksLikeRtf(sText)) {
            QTextDocument piece;
            piece.setDefaultFont(m_edit->document()->defaultFont());
            RtfReadOptions options;
            options.baseFormat = c.charFormat();
            if (readRtf(rtfBytesFromString(sText), piece, options)) {
                c.insertFragment(QTextDocumentFragment(&piece));
                return;
            }
        }
        QString text = sText;
        text.replace(QLatin1String("\r\n"), QString(QChar::ParagraphSeparator));
        text.replace(u'\r', QChar::ParagraphSeparator);
        text.replace(u'\n', QChar::ParagraphSeparator);
        c.insertText(text);
    });
    m_edit->setTextCursor(c);
}

int RichTextControl::LineFromCharIndex(int inCharNumber) const
{
    return m_edit ? lineOf(inCharNumber < 0 ? GetSelRange().cpMin : inCharNumber) : 0;
}

int RichTextControl::CharFromPos(int xPixels, int yPixels) const
{
    if (!m_edit)
        return 0;
    return m_edit->cursorForPosition(QPoint(xPixels, yPixels)).position();
}

void RichTextControl::GetPosFromChar(int lIndex, int &xPixels, int &yPixels) const
{
    xPixels = 0;
    yPixels = 0;
    if (!m_edit)
        return;
    QTextCursor c(m_edit->document());
    c.setPosition(qBound(0, lIndex, docLength()));
    const QRect r = m_edit->cursorRect(c);
    // The answer packs both coordinates in 16 bits each.
    xPixels = int(quint16(r.left()));
    yPixels = int(quint16(r.top()));
}

void RichTextControl::SelectAll()
{
    SetSelRange(0, -1);
}

void RichTextControl::ShowStart()
{
    if (m_edit)
        setScrollPosition(QPoint(m_edit->horizontalScrollBar()->minimum(), m_edit->verticalScrollBar()->minimum()));
}

void RichTextControl::settleColours()
{
    settleMosaic(m_edit);
}

QPoint RichTextControl::scrollPosition() const
{
    if (!m_edit)
        return QPoint();
    return QPoint(m_edit->horizontalScrollBar()->value(), m_edit->verticalScrollBar()->value());
}

void RichTextControl::setScrollPosition(const QPoint &position)
{
    if (!m_edit)
        return;
    SetSelRange(0, 0);
    m_edit->horizontalScrollBar()->setValue(position.x());
    m_edit->verticalScrollBar()->setValue(position.y());
}

void RichTextControl::Move(int nLeft, int nTop, int nWidth, int nHeight)
{
    if (!m_edit)
        return;
    const int w = nWidth == 0 ? m_edit->width() : nWidth;
    const int h = nHeight == 0 ? m_edit->height() : nHeight;
    m_edit->setGeometry(nLeft, nTop, qMax(0, w), qMax(0, h));
    m_edit->update();
}

void RichTextControl::GetCaretPos(int &x, int &y, bool ToScreen) const
{
    x = 0;
    y = 0;
    if (!m_edit)
        return;
    QPoint p = m_edit->cursorRect().topLeft();
    if (ToScreen)
        p = m_edit->viewport()->mapToGlobal(p);
    x = p.x();
    y = p.y();
}

void RichTextControl::SetFocus()
{
    if (m_edit)
        m_edit->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------
// Private operations

quint32 RichTextControl::TranslateColor(quint32 oleColor)
{
    const quint32 kind = oleColor >> 24;
    if (kind == 0x00 || kind == 0x02)
        return oleColor & 0xFFFFFFu;
    if (kind != 0x80)
        return 0xFFFFFFFFu;
    const QPalette p = QGuiApplication::palette();
    QPalette::ColorGroup g = QPalette::Active;
    QPalette::ColorRole role;
    switch (oleColor & 0xFFFFFFu) {
    case 0:
        role = QPalette::Dark;
        break; // scroll bar
    case 1:
        role = QPalette::Window;
        break; // desktop
    case 2:
        role = QPalette::Highlight;
        break; // active caption
    case 3:
        role = QPalette::Mid;
        break; // inactive caption
    case 4:
        role = QPalette::Window;
        break; // menu
    case 5:
        role = QPalette::Base;
        break; // window
    case 6:
        role = QPalette::Shadow;
        break; // window frame
    case 7:
        role = QPalette::WindowText;
        break; // menu text
    case 8:
        role = QPalette::Text;
        break; // window text
    case 9:
        role = QPalette::HighlightedText;
        break; // caption text
    case 10:
        role = QPalette::Mid;
        break; // active border
    case 11:
        role = QPalette::Mid;
        break; // inactive border
    case 12:
        role = QPalette::Dark;
        break; // application workspace
    case 13:
        role = QPalette::Highlight;
        break;
    case 14:
        role = QPalette::HighlightedText;
        break;
    case 15:
        role = QPalette::Button;
        break;
    case 16:
        role = QPalette::Dark;
        break; // button shadow
    case 17:
        g = QPalette::Disabled;
        role = QPalette::Text;
        break; // grey text
    case 18:
        role = QPalette::ButtonText;
        break;
    case 19:
        g = QPalette::Inactive;
        role = QPalette::WindowText;
        break;
    case 20:
        role = QPalette::Light;
        break; // button highlight
    case 21:
        role = QPalette::Shadow;
        break; // 3-D dark shadow
    case 22:
        role = QPalette::Midlight;
        break; // 3-D light
    case 23:
        role = QPalette::ToolTipText;
        break;
    case 24:
        role = QPalette::ToolTipBase;
        break;
    case 26:
        role = QPalette::Link;
        break; // hot light
    case 27:
        role = QPalette::Highlight;
        break; // gradient active caption
    case 28:
        role = QPalette::Mid;
        break; // gradient inactive caption
    case 29:
        role = QPalette::Highlight;
        break; // menu highlight
    case 30:
        role = QPalette::Window;
        break; // menu bar
    default:
        return 0xFFFFFFFFu;
    }
    return colorTo24(p.color(g, role));
}

int RichTextControl::ShiftState(Qt::KeyboardModifiers mods)
{
    int s = 0;
    if (mods & Qt::ShiftModifier)
        s |= 1;
    if (mods & Qt::ControlModifier)
        s |= 2;
    if (mods & Qt::AltModifier)
        s |= 4;
    return s;
}

RichTextControl::Range RichTextControl::GetSelRange() const
{
    if (!m_edit)
        return {};
    const QTextCursor c = m_edit->textCursor();
    return {c.selectionStart(), c.selectionEnd()};
}

void RichTextControl::SetSelRange(int cpMin, int cpMax)
{
    if (!m_edit)
        return;
    const int end = docLength();
    int a = cpMin;
    int b = cpMax;
    if (a == 0 && b == -1) {
        b = end;
    } else if (a < 0) {
        // No selection: the caret goes to the end of the current selection.
        a = b = GetSelRange().cpMax;
    } else if (b < 0) {
        b = end;
    }
    a = qBound(0, a, end);
    b = qBound(0, b, end);
    if (a > b)
        std::swap(a, b);
    QTextCursor c = m_edit->textCursor();
    if (c.selectionStart() == a && c.selectionEnd() == b && c.anchor() == a)
        return;
    c.setPosition(a);
    c.setPosition(b, QTextCursor::KeepAnchor);
    m_edit->setTextCursor(c);
}

QTextCharFormat RichTextControl::fallbackFormat() const
{
    QTextCharFormat f = m_default;
    if (!f.hasProperty(QTextFormat::FontFamilies))
        f.setProperty(QTextFormat::FontFamilies, QStringList(m_edit->document()->defaultFont().family()));
    if (!f.hasProperty(QTextFormat::FontPointSize))
        f.setFontPointSize(m_edit->document()->defaultFont().pointSizeF());
    return f;
}

CharFormat2 RichTextControl::GetCharFormat(int fOpt, quint32 mask) const
{
    if (!m_edit)
        return CharFormat2{};
    const QTextCharFormat fallback = fallbackFormat();
    if (fOpt == 0)
        return charFormatOf(fallback, fallback, mask);
    settleMosaic(m_edit);
    const Range r = GetSelRange();
    QTextCharFormat f;
    if (r.cpMin < r.cpMax) {
        QTextCursor c(m_edit->document());
        c.setPosition(r.cpMin + 1);
        f = c.charFormat();
    } else {
        f = m_edit->textCursor().charFormat();
    }
    return charFormatOf(f, fallback, mask);
}

void RichTextControl::SetCharFormat(CharFormat2 record, int fOpt, quint32 mask)
{
    if (!m_edit)
        return;
    record.dwMask |= mask;
    const QTextCharFormat delta = charFormatDelta(record);
    if (fOpt != 0)
        settleMosaic(m_edit);
    if (fOpt == 0) {
        m_default.merge(delta);
        if (record.dwMask & (CFM_FACE | CFM_SIZE)) {
            QFont f = m_edit->document()->defaultFont();
            if (record.dwMask & CFM_FACE)
                f.setFamilies({formatFace(m_default)});
            if ((record.dwMask & CFM_SIZE) && m_default.hasProperty(QTextFormat::FontPointSize))
                f.setPointSizeF(m_default.fontPointSize());
            m_edit->document()->setDefaultFont(f);
        }
        resetEmptyFormat();
        return;
    }
    QTextCursor c = m_edit->textCursor();
    if (c.hasSelection()) {
        const bool undo = m_edit->document()->isUndoRedoEnabled();
        c.mergeCharFormat(delta);
        Q_UNUSED(undo);
    } else {
        c.mergeCharFormat(delta);
        m_edit->setTextCursor(c);
    }
}

ParaFormat2 RichTextControl::GetParaFormat(quint32 mask) const
{
    if (!m_edit)
        return ParaFormat2{};
    return paraFormatOf(m_edit->textCursor().blockFormat(), mask);
}

void RichTextControl::SetParaFormat(ParaFormat2 record, quint32 mask)
{
    if (!m_edit)
        return;
    record.dwMask |= mask;
    const Range r = GetSelRange();
    QTextDocument *doc = m_edit->document();
    QTextCursor c(doc);
    c.beginEditBlock();
    for (QTextBlock b = doc->findBlock(r.cpMin); b.isValid(); b = b.next()) {
        c.setPosition(b.position());
        QTextBlockFormat f = b.blockFormat();
        applyParaFormat(record, f);
        c.setBlockFormat(f);
        if (b.contains(r.cpMax) || b.position() > r.cpMax)
            break;
    }
    c.endEditBlock();
    if (record.dwMask & PFM_NUMBERING)
        applyNumbering(r.cpMin, r.cpMax);
}

void RichTextControl::applyNumbering(int from, int to)
{
    QTextDocument *doc = m_edit->document();
    QTextList *list = nullptr;
    for (QTextBlock b = doc->findBlock(from); b.isValid(); b = b.next()) {
        const int code = b.blockFormat().intProperty(PropNumbering);
        QTextListFormat::Style style = QTextListFormat::ListStyleUndefined;
        switch (code) {
        case 1:
            style = QTextListFormat::ListDisc;
            break;
        case 2:
            style = QTextListFormat::ListDecimal;
            break;
        case 3:
            style = QTextListFormat::ListLowerAlpha;
            break;
        case 4:
            style = QTextListFormat::ListUpperAlpha;
            break;
        case 5:
            style = QTextListFormat::ListLowerRoman;
            break;
        case 6:
            style = QTextListFormat::ListUpperRoman;
            break;
        default:
            break;
        }
        if (b.textList() && (style == QTextListFormat::ListStyleUndefined || b.textList()->format().style() != style))
            b.textList()->remove(b);
        if (style != QTextListFormat::ListStyleUndefined && !b.textList()) {
            if (list && list->format().style() == style) {
                list->add(b);
            } else {
                QTextListFormat lf;
                lf.setStyle(style);
                QTextCursor cur(doc);
                cur.setPosition(b.position());
                list = cur.createList(lf);
            }
        }
        if (b.contains(to) || b.position() > to)
            break;
    }
}

int RichTextControl::docLength() const
{
    return m_edit ? m_edit->document()->characterCount() - 1 : 0;
}

// Lines are the laid-out lines of the paragraphs; a paragraph not laid out
// yet (or without wrapping) is one line.
namespace {
int blockLines(const QTextBlock &b, bool wrap)
{
    if (!wrap)
        return 1;
    const QTextLayout *l = b.layout();
    return l && l->lineCount() > 0 ? l->lineCount() : 1;
}
} // namespace

int RichTextControl::lineCount() const
{
    const bool wrap = m_edit->lineWrapMode() != QTextEdit::NoWrap;
    if (!wrap)
        return m_edit->document()->blockCount();
    int n = 0;
    for (QTextBlock b = m_edit->document()->begin(); b.isValid(); b = b.next())
        n += blockLines(b, wrap);
    return n;
}

int RichTextControl::lineIndex(int line) const
{
    if (line < 0)
        line = lineOf(GetSelRange().cpMin);
    const bool wrap = m_edit->lineWrapMode() != QTextEdit::NoWrap;
    if (!wrap) {
        const QTextBlock b = m_edit->document()->findBlockByNumber(line);
        return b.isValid() ? b.position() : -1;
    }
    int n = 0;
    for (QTextBlock b = m_edit->document()->begin(); b.isValid(); b = b.next()) {
        const int k = blockLines(b, wrap);
        if (line < n + k) {
            const QTextLayout *l = b.layout();
            const int inBlock = line - n;
            if (l && l->lineCount() > inBlock)
                return b.position() + l->lineAt(inBlock).textStart();
            return b.position();
        }
        n += k;
    }
    return -1;
}

int RichTextControl::lineOf(int pos) const
{
    pos = qBound(0, pos, docLength());
    const QTextBlock target = m_edit->document()->findBlock(pos);
    const bool wrap = m_edit->lineWrapMode() != QTextEdit::NoWrap;
    if (!wrap)
        return target.blockNumber();
    int n = 0;
    for (QTextBlock b = m_edit->document()->begin(); b.isValid() && b != target; b = b.next())
        n += blockLines(b, wrap);
    const QTextLayout *l = target.layout();
    if (l && l->lineCount() > 0)
        n += l->lineForTextPosition(pos - target.position()).isValid()
                 ? l->lineForTextPosition(pos - target.position()).lineNumber()
                 : 0;
    return n;
}

int RichTextControl::lineLengthAt(int index) const
{
    if (index < 0) {
        // The unselected characters of the lines the selection touches.
        const Range r = GetSelRange();
        const int first = lineIndex(lineOf(r.cpMin));
        const int lastStart = lineIndex(lineOf(r.cpMax));
        const int lastEnd = lastStart + lineLengthAt(lastStart);
        return (r.cpMin - first) + qMax(0, lastEnd - r.cpMax);
    }
    if (index > docLength())
        return 0;
    const QTextBlock b = m_edit->document()->findBlock(index);
    const bool wrap = m_edit->lineWrapMode() != QTextEdit::NoWrap;
    const QTextLayout *l = b.layout();
    if (wrap && l && l->lineCount() > 0) {
        const QTextLine line = l->lineForTextPosition(index - b.position());
        if (line.isValid()) {
            int n = line.textLength();
            // A wrapped line's trailing line separator is not text.
            const QString t = b.text();
            if (n > 0 && line.textStart() + n <= t.size() && t.at(line.textStart() + n - 1) == QChar::LineSeparator)
                --n;
            return n;
        }
    }
    return b.length() - 1;
}

QString RichTextControl::rangeText(int from, int to, const QString &paragraphBreak) const
{
    QTextCursor c(m_edit->document());
    c.setPosition(qBound(0, from, docLength()));
    c.setPosition(qBound(0, to, docLength()), QTextCursor::KeepAnchor);
    QString t = c.selectedText();
    t.replace(QChar::ParagraphSeparator, paragraphBreak);
    t.replace(QChar::LineSeparator, QStringLiteral("\v"));
    return t;
}

bool RichTextControl::rangeProtected(int from, int to) const
{
    QTextDocument *doc = m_edit->document();
    if (from == to) {
        // Typing at the caret: protected when both neighbours are.
        if (from <= 0 || from >= docLength())
            return false;
        QTextCursor a(doc), b(doc);
        a.setPosition(from);
        b.setPosition(from + 1);
        return a.charFormat().boolProperty(PropProtected) && b.charFormat().boolProperty(PropProtected);
    }
    for (QTextBlock blk = doc->findBlock(from); blk.isValid() && blk.position() < to; blk = blk.next()) {
        for (QTextBlock::iterator it = blk.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() + f.length() <= from || f.position() >= to)
                continue;
            if (f.charFormat().boolProperty(PropProtected))
                return true;
        }
    }
    return false;
}

bool RichTextControl::allowProtectedChange(int from, int to, int msg)
{
    if (!rangeProtected(from, to))
        return true;
    RichEditNotification n;
    n.code = EN_PROTECTED;
    n.msg = msg;
    n.cpMin = from;
    n.cpMax = to;
    // Delivered through the parent's hook; a control without one refuses.
    const qint32 answer = richEditHooks::FindHook(m_edit, false) != -1 ? richEditHooks::notifyParent(m_edit, n) : 1;
    return answer == 0;
}

QMimeData *RichTextControl::mimeForRange(int from, int to) const
{
    auto *mime = new QMimeData;
    if (!m_edit)
        return mime;
    settleMosaic(m_edit);
    QTextCursor c(m_edit->document());
    c.setPosition(qBound(0, from, docLength()));
    c.setPosition(qBound(0, to, docLength()), QTextCursor::KeepAnchor);
    QTextDocument piece;
    piece.setDefaultFont(m_edit->document()->defaultFont());
    QTextCursor(&piece).insertFragment(c.selection());
    mime->setText(documentPlainText(piece, QStringLiteral("\n")));
    const QByteArray rtf = writeRtf(piece, m_default);
    mime->setData(QLatin1String(kRtfMime), rtf);
    mime->setData(QLatin1String(kRtfMimeAlt), rtf);
    mime->setHtml(QString::fromUtf8(writeHtml(piece)));
    return mime;
}

void RichTextControl::insertMime(const QMimeData *source, bool plainOnly)
{
    if (!m_edit || m_edit->isReadOnly() || !source)
        return;
    QTextCursor c = m_edit->textCursor();
    if (!allowProtectedChange(c.selectionStart(), c.selectionEnd(), WM_PASTE_MSG))
        return;
    QTextDocument piece;
    piece.setDefaultFont(m_edit->document()->defaultFont());
    bool rich = false;
    if (!plainOnly) {
        const QByteArray rtf = source->hasFormat(QLatin1String(kRtfMime)) ? source->data(QLatin1String(kRtfMime))
                                                                          : source->data(QLatin1String(kRtfMimeAlt));
        RtfReadOptions options;
        options.baseFormat = c.charFormat();
        if (!rtf.isEmpty() && readRtf(rtf, piece, options))
            rich = true;
        else if (source->hasHtml()) {
            piece.setHtml(source->html());
            rich = true;
        }
    }
    if (!rich) {
        if (!source->hasText())
            return;
        readPlainText(piece, source->text(), c.charFormat(), c.blockFormat());
    }
    const int incoming = piece.characterCount() - 1;
    if (docLength() - (c.selectionEnd() - c.selectionStart()) + incoming > m_maxLength)
        return;
    if (m_pendingUndoKind == UID_UNKNOWN)
        noteUndoKind(UID_PASTE);
    c.insertFragment(QTextDocumentFragment(&piece));
    m_edit->setTextCursor(c);
}

bool RichTextControl::filterKey(QKeyEvent *e)
{
    RichEditNotification n;
    n.code = EN_MSGFILTER;
    n.shift = ShiftState(e->modifiers());
    n.wParam = virtualKey(e->key());
    if (e->type() == QEvent::KeyRelease) {
        n.msg = WM_KEYUP;
        return richEditHooks::notifyParent(m_edit, n) != 0;
    }
    n.msg = WM_KEYDOWN;
    if (richEditHooks::notifyParent(m_edit, n) != 0)
        return true;
    const QString text = e->text();
    const bool printable = !text.isEmpty() && (text.at(0).isPrint() || text.at(0) == u'\r' || text.at(0) == u'\t');
    if (!text.isEmpty() && !(e->modifiers() & Qt::ControlModifier)) {
        RichEditNotification ch = n;
        ch.msg = WM_CHAR;
        ch.wParam = text.at(0).unicode();
        if (richEditHooks::notifyParent(m_edit, ch) != 0)
            return true;
    }
    if (m_edit->isReadOnly())
        return false;
    // Edits of protected text ask the owner first.
    const QTextCursor c = m_edit->textCursor();
    int from = c.selectionStart();
    int to = c.selectionEnd();
    bool edits = printable && !(e->modifiers() & Qt::ControlModifier);
    int kind = UID_TYPING;
    if (e->key() == Qt::Key_Backspace) {
        edits = true;
        kind = UID_DELETE;
        if (from == to)
            from = qMax(0, from - 1);
    } else if (e->key() == Qt::Key_Delete) {
        edits = true;
        kind = UID_DELETE;
        if (from == to)
            to = qMin(docLength(), to + 1);
    } else if (e->matches(QKeySequence::Cut)) {
        edits = from < to;
        kind = UID_CUT;
    } else if (e->matches(QKeySequence::Paste)) {
        edits = true;
        kind = UID_PASTE;
    }
    if (!edits)
        return false;
    if (!allowProtectedChange(from, to, WM_KEYDOWN))
        return true;
    if (kind == UID_TYPING && docLength() - (c.selectionEnd() - c.selectionStart()) >= m_maxLength) {
        QApplication::beep();
        return true;
    }
    noteUndoKind(kind);
    if (kind == UID_TYPING && m_stopGroup) {
        // Start a new undo group: the character goes in as its own step.
        m_stopGroup = false;
        QTextCursor t = m_edit->textCursor();
        t.beginEditBlock();
        t.insertText(text);
        t.endEditBlock();
        m_edit->setTextCursor(t);
        return true;
    }
    return false;
}

void RichTextControl::filterMouse(QMouseEvent *e)
{
    RichEditNotification n;
    n.code = EN_MSGFILTER;
    n.shift = ShiftState(e->modifiers());
    const QPoint p = e->position().toPoint();
    n.x = p.x();
    n.y = p.y();
    const int base = e->type() == QEvent::MouseButtonPress      ? WM_LBUTTONDOWN
                     : e->type() == QEvent::MouseButtonRelease  ? WM_LBUTTONUP
                     : e->type() == QEvent::MouseButtonDblClick ? WM_LBUTTONDBLCLK
                                                                : WM_MOUSEMOVE;
    if (base == WM_MOUSEMOVE) {
        n.msg = WM_MOUSEMOVE;
    } else {
        const int b = buttonCode(e->button());
        if (b == 0)
            return;
        n.msg = base + 3 * (b == 1 ? 0 : b == 2 ? 1 : 2);
    }
    richEditHooks::notifyParent(m_edit, n);
    // Pointer over a link: tell the owner which link.
    const QTextCursor at = m_edit->cursorForPosition(p);
    QTextCursor probe(m_edit->document());
    probe.setPosition(qMin(at.position() + 1, docLength()));
    if (probe.charFormat().isAnchor() && at.position() < docLength()) {
        const QTextBlock b = probe.block();
        for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.contains(at.position()) && f.charFormat().isAnchor()) {
                RichEditNotification link;
                link.code = EN_LINK;
                link.msg = n.msg;
                link.cpMin = f.position();
                link.cpMax = f.position() + f.length();
                richEditHooks::notifyParent(m_edit, link);
                break;
            }
        }
    }
}

void RichTextControl::onUndoCommandAdded()
{
    if (m_inUndo)
        return;
    m_undoKinds.append(m_pendingUndoKind);
    m_redoKinds.clear();
    m_pendingUndoKind = UID_UNKNOWN;
}

void RichTextControl::onSelectionChanged()
{
    const Range r = GetSelRange();
    if (r.cpMin == m_lastSel.cpMin && r.cpMax == m_lastSel.cpMax)
        return;
    m_lastSel = r;
    RichEditNotification n;
    n.code = EN_SELCHANGE;
    n.cpMin = r.cpMin;
    n.cpMax = r.cpMax;
    n.selType = r.cpMin < r.cpMax ? SEL_TEXT : SEL_EMPTY;
    richEditHooks::notifyParent(m_edit, n);
}

void RichTextControl::onContentsChange(int position, int, int charsAdded)
{
    if (m_autoUrl && !m_markingUrls)
        markUrls(position, position + charsAdded);
}

void RichTextControl::markUrls(int from, int to)
{
    static const QRegularExpression url(QStringLiteral(R"((?:https?|ftp|file|mailto):[^\s<>"]+|www\.[^\s<>"]+)"),
                                        QRegularExpression::CaseInsensitiveOption);
    QTextDocument *doc = m_edit->document();
    m_markingUrls = true;
    const bool undo = doc->isUndoRedoEnabled();
    for (QTextBlock b = doc->findBlock(from); b.isValid(); b = b.next()) {
        QRegularExpressionMatchIterator it = url.globalMatch(b.text());
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            QTextCursor c(doc);
            c.setPosition(b.position() + int(m.capturedStart()));
            c.setPosition(b.position() + int(m.capturedEnd()), QTextCursor::KeepAnchor);
            QTextCharFormat f;
            f.setAnchor(true);
            f.setAnchorHref(m.captured());
            f.setFontUnderline(true);
            c.mergeCharFormat(f);
        }
        if (b.position() + b.length() > to)
            break;
    }
    Q_UNUSED(undo);
    m_markingUrls = false;
}

} // namespace tessilor
