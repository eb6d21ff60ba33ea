#pragma once
#include <QFont>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextEdit>
#include <optional>

#include "base/outputfile.h"
#include "document/richformat.h"
#include "richtext/richedithooks.h"

class QKeyEvent;
class QMenu;
class QMimeData;
class QMouseEvent;

namespace tessilor {

// Style bits Create understands (the rest are accepted and ignored).
inline constexpr quint32 ES_MULTILINE = 0x4;
inline constexpr quint32 ES_AUTOVSCROLL = 0x40;
inline constexpr quint32 ES_AUTOHSCROLL = 0x80;
inline constexpr quint32 ES_NOHIDESEL = 0x100;
inline constexpr quint32 ES_READONLY = 0x800;
inline constexpr quint32 ES_WANTRETURN = 0x1000;
inline constexpr quint32 ES_DISABLENOSCROLL = 0x2000;
inline constexpr quint32 ES_SUNKEN = 0x4000;
inline constexpr quint32 WS_HSCROLL = 0x100000;
inline constexpr quint32 WS_VSCROLL = 0x200000;
// The style the result window creates its control with.
inline constexpr quint32 kResultEditStyle = ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL |
                                            ES_WANTRETURN | ES_DISABLENOSCROLL | WS_HSCROLL | WS_VSCROLL;

// Find options.
inline constexpr int FR_DOWN = 1;
inline constexpr int FR_WHOLEWORD = 2;
inline constexpr int FR_MATCHCASE = 4;

// Text flags of SetText.
inline constexpr int ST_DEFAULT = 0;
inline constexpr int ST_KEEPUNDO = 1;
inline constexpr int ST_SELECTION = 2;

// Flags of GetTextLength.
inline constexpr int GTL_USECRLF = 1;
inline constexpr int GTL_NUMCHARS = 8;

// Undo action kinds answered by UndoType and RedoType.
inline constexpr int UID_UNKNOWN = 0;
inline constexpr int UID_TYPING = 1;
inline constexpr int UID_DELETE = 2;
inline constexpr int UID_DRAGDROP = 3;
inline constexpr int UID_CUT = 4;
inline constexpr int UID_PASTE = 5;

// Menu item flags of RichEditMenu2.
inline constexpr quint32 MF_STRING = 0x0;
inline constexpr quint32 MF_GRAYED = 0x1;
inline constexpr quint32 MF_DISABLED = 0x2;
inline constexpr quint32 MF_CHECKED = 0x8;
inline constexpr quint32 MF_BYPOSITION = 0x400;
inline constexpr quint32 MF_SEPARATOR = 0x800;
// Identifier of the first popup menu item; item k carries 4097 + k.
inline constexpr int kFirstMenuId = 4097;

// The edit window of the control: a QTextEdit whose clipboard and drag data
// carry plain text, RTF and HTML together.
class RichEditWindow : public QTextEdit
{
    Q_OBJECT
public:
    explicit RichEditWindow(QWidget *parent = nullptr);
    class RichTextControl *owner() const { return m_owner; }

protected:
    bool event(QEvent *e) override;
    bool viewportEvent(QEvent *e) override;
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    friend class RichTextControl;
    class RichTextControl *m_owner = nullptr;
};

// The rich text control of the result window. Positions are 0-based with a
// paragraph break counting as one position. Colours are 24-bit values
// red + 256 green + 65536 blue. Booleans follow the platform convention on
// the way in (any nonzero value is true).
class RichTextControl : public QObject, public richEditHooks::HookOwner
{
    Q_OBJECT
public:
    explicit RichTextControl(QObject *parent = nullptr);
    ~RichTextControl() override;

    // Life cycle and structure.
    QTextEdit *Create(QWidget *hParent, quint32 dwStyle, int nLeft, int nTop, int nWidth, int nHeight);
    void Destroy();
    qint32 zRichEditCallBack(int uMsg, const RichEditNotification &lParam) override;
    // Popup menu: a missing element (nullopt) becomes a separator.
    void setRichEditMenu(const QList<std::optional<QString>> &inMenuIttems);
    // An empty caption becomes a separator; flags add MF_GRAYED, MF_CHECKED...
    void RichEditMenu2(const QStringList &inMenuIttems, const QList<quint32> &Flags);
    QMenu *hMenuPopup() const { return m_menu; }

    // Plain properties.
    bool AutoURL() const;
    void setAutoURL(bool value);
    void setBackColor(quint32 oleColor);
    int SelStart() const;
    void setSelStart(int value);
    int SelLength() const;
    void setSelLength(int value);
    int MaxLength() const;
    void setMaxLength(int value);

    // Character format; fOpt 0 is the control's default format, 1 the
    // selection (or the insertion point when nothing is selected).
    bool FontBold(int fOpt) const;
    void setFontBold(int fOpt, bool value);
    bool FontItalic(int fOpt) const;
    void setFontItalic(int fOpt, bool value);
    bool FontUnderline(int fOpt) const;
    void setFontUnderline(int fOpt, bool value);
    bool FontStrikeOut(int fOpt) const;
    void setFontStrikeOut(int fOpt, bool value);
    quint32 FontColor(int fOpt) const;
    void setFontColor(int fOpt, quint32 oleColor);
    quint32 FontBackColor(int fOpt) const;
    void setFontBackColor(int fOpt, quint32 oleColor);
    bool FontLink(int fOpt) const;
    void setFontLink(int fOpt, bool value);
    bool FontLocked(int fOpt) const;
    void setFontLocked(int fOpt, bool value);
    bool FontSuperScript(int fOpt) const;
    void setFontSuperScript(int fOpt, bool value);
    QFont Font(int fOpt) const;
    void setFont(int fOpt, const QFont &font);

    quint32 Style() const;
    void setStyle(quint32 value);
    bool Options(quint32 inOption) const;
    void setOptions(quint32 inOption, bool value);

    // Paragraph format of the paragraphs the selection touches; twips.
    int ParagraphNum() const;
    void setParagraphNum(int value); // throws std::overflow_error outside 16 bits
    int ParagraphOffsets(int iType) const;
    void setParagraphOffsets(int iType, int twips);
    int ParagraphAlignment() const;
    void setParagraphAlignment(int value); // throws std::overflow_error outside 16 bits
    int ParagraphSpacing(bool bBefore) const;
    void setParagraphSpacing(bool bBefore, int twips);

    bool Modified() const;
    void setModified(bool value);
    bool Locked() const;
    void setLocked(bool value);
    void setWordWrap(bool value);
    QTextEdit *hwnd() const override { return m_edit; }
    QString Text(bool isRtf) const;
    void setText(bool isRtf, const QString &sText);
    void setSelVisible(bool value);

    // Methods.
    int FindText(const QString &sText, int fOptions, int lStart, int lFinish) const;
    int LineLength(int line) const;
    bool CanPaste() const;
    bool CanRedo() const;
    bool CanUndo() const;
    bool SetUndoLim(int inValue);
    bool CanCopy() const;
    int UndoType() const;
    int RedoType() const;
    void SetUndoPoint();
    void ClearUndo();
    void Cut();
    void Copy();
    // What Copy puts on the clipboard (text, RTF, HTML), for a caller that
    // adds to it; the caller owns it. Empty without a selection.
    QMimeData *selectionMimeData() const;
    void Paste();
    void PasteSpecial();
    void Undo();
    void Redo();
    void Clear();
    bool Border() const;
    void GetParagraphLineSpacing(int &outLineSpacingStyle, int &outYSpacing) const;
    void SetParagraphLineSpacing(int outLineSpacingStyle, int outYSpacing); // throws outside 0..255
    void Redraw(bool bState);
    QString LineText(int lLine) const;
    int CurrentLine() const;
    int CurrentLineTextLength() const;
    int LinesCount() const;
    QString TextInRange(int lStart, int lEnd) const;
    QString SelectedText() const;
    int GetTextLength(int lFlags, int CodePage = 0) const;
    QString GetText(bool UseCrLf) const;
    void SetText(const QString &sText, int uFlags);
    int LineFromCharIndex(int inCharNumber) const;
    int CharFromPos(int xPixels, int yPixels) const;
    void GetPosFromChar(int lIndex, int &xPixels, int &yPixels) const;
    void SelectAll();
    // Caret to the start, nothing selected, and the view at the document's
    // top-left corner. A new result is shown this way: a fill leaves the
    // caret after the text it wrote, and a first show scrolls to the caret.
    void ShowStart();
    // The scroll bars' values; setting them also puts the caret at the start
    // without moving the view.
    QPoint scrollPosition() const;
    // Writes colours a figure mosaic keeps beside the document into it, for
    // code that reads the document's formats itself (the caret, selection
    // and view stay). Nothing when the document holds its colours.
    void settleColours();
    void setScrollPosition(const QPoint &position);
    void Move(int nLeft, int nTop, int nWidth, int nHeight);
    QString LoadFile(const QString &sFileName, bool bIsRtf);
    // Saves the whole text as RTF or plain text; the file is replaced whole
    // (see OutputFile).
    bool SaveFile(const QString &sFileName, bool bIsRtf);
    void GetCaretPos(int &x, int &y, bool ToScreen) const;
    void SetFocus();

    // Chunk size the control asks the stream callbacks for (4096 by default).
    void setStreamChunkSize(int cb) { m_chunk = cb > 0 ? cb : 4096; }
    int streamChunkSize() const { return m_chunk; }
    // The control's default character format (fOpt 0).
    QTextCharFormat defaultCharFormat() const { return m_default; }

    // Colour translation: OLE colour to RGB, -1 (all bits set) when it fails.
    static quint32 TranslateColor(quint32 oleColor);
    // Modifier mask: 1 Shift, 2 Ctrl, 4 Alt.
    static int ShiftState(Qt::KeyboardModifiers mods);

Q_SIGNALS:
    void KeyPress(int &KeyAscii);
    void KeyDown(int &KeyCode, int &Shift);
    void KeyUp(int &KeyCode, int &Shift);
    void SelectionChange(int lMin, int lMax, int SelType);
    void LinkOver(int uMsg, int lMin, int lMax);
    void ModifyProtected(int &bCancel, int lMin, int lMax);
    void MenuClick(int MnuID);
    void MouseDown(int &Button, int &x, int &y, int &Shift);
    void MouseMove(int &x, int &y, int &Shift);
    void MouseUp(int &Button, int &x, int &y, int &Shift);
    void DblClick(int &Button, int &x, int &y, int &Shift);
    void VScroll();
    void HScroll();

private:
    friend class RichEditWindow;
    friend class RichEditHookFilter;
    struct Range {
        int cpMin = 0;
        int cpMax = 0;
    };
    Range GetSelRange() const;
    void SetSelRange(int cpMin, int cpMax);
    CharFormat2 GetCharFormat(int fOpt, quint32 mask) const;
    void SetCharFormat(CharFormat2 record, int fOpt, quint32 mask);
    ParaFormat2 GetParaFormat(quint32 mask) const;
    void SetParaFormat(ParaFormat2 record, quint32 mask);

    int docLength() const; // positions a caret may take: 0 .. docLength()
    int lineIndex(int line) const;
    int lineCount() const;
    int lineOf(int pos) const;
    int lineLengthAt(int index) const;
    QString rangeText(int from, int to, const QString &paragraphBreak) const;
    bool rangeProtected(int from, int to) const;
    // Asks the owner whether protected text may change; true when allowed.
    bool allowProtectedChange(int from, int to, int msg);
    void streamIn(const QString &text, bool isRtf, bool keepUndo);
    QString streamOut(bool isRtf) const;
    void replaceWithRtf(const QByteArray &rtf);
    QTextBlockFormat keptBlockFormat() const;
    template<typename F>
    void withUndo(bool keepUndo, F &&work);
    void resetCaret();
    void resetEmptyFormat();
    QTextCharFormat fallbackFormat() const;
    void applyNumbering(int from, int to);
    QMimeData *mimeForRange(int from, int to) const;
    void insertMime(const QMimeData *source, bool plainOnly);
    bool filterKey(QKeyEvent *e);
    void filterMouse(QMouseEvent *e);
    void markUrls(int from, int to);
    void noteUndoKind(int kind) { m_pendingUndoKind = kind; }
    void onUndoCommandAdded();
    void onSelectionChanged();
    void onContentsChange(int position, int charsRemoved, int charsAdded);

    QPointer<RichEditWindow> m_edit;
    QPointer<QMenu> m_menu;
    QTextCharFormat m_default;
    quint32 m_style = 0;
    quint32 m_options = 0;
    quint32 m_editStyle = 0;
    int m_maxLength = 32767;
    int m_undoLimit = 100;
    int m_chunk = 4096;
    bool m_autoUrl = false;
    bool m_stopGroup = false;
    bool m_inUndo = false;
    bool m_markingUrls = false;
    int m_pendingUndoKind = UID_UNKNOWN;
    QList<int> m_undoKinds;
    QList<int> m_redoKinds;
    Range m_lastSel{-1, -1};
};

} // namespace tessilor
