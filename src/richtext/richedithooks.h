#pragma once
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace tessilor {

// Notification codes passed to zRichEditCallBack.
inline constexpr int WM_CONTEXTMENU = 0x7B;
inline constexpr int WM_HSCROLL = 0x114;
inline constexpr int WM_VSCROLL = 0x115;
inline constexpr int EN_MSGFILTER = 0x700;
inline constexpr int EN_SELCHANGE = 0x702;
inline constexpr int EN_PROTECTED = 0x704;
inline constexpr int EN_LINK = 0x70B;
// Filtered input messages carried by EN_MSGFILTER.
inline constexpr int WM_KEYDOWN = 0x100;
inline constexpr int WM_KEYUP = 0x101;
inline constexpr int WM_CHAR = 0x102;
inline constexpr int WM_MOUSEMOVE = 0x200;
inline constexpr int WM_LBUTTONDOWN = 0x201;
inline constexpr int WM_LBUTTONUP = 0x202;
inline constexpr int WM_LBUTTONDBLCLK = 0x203;
inline constexpr int WM_RBUTTONDOWN = 0x204;
inline constexpr int WM_RBUTTONUP = 0x205;
inline constexpr int WM_RBUTTONDBLCLK = 0x206;
inline constexpr int WM_MBUTTONDOWN = 0x207;
inline constexpr int WM_MBUTTONUP = 0x208;
inline constexpr int WM_MBUTTONDBLCLK = 0x209;
inline constexpr int WM_CUT_MSG = 0x300;
inline constexpr int WM_PASTE_MSG = 0x302;
inline constexpr int WM_CLEAR_MSG = 0x303;
inline constexpr int SEL_EMPTY = 0;
inline constexpr int SEL_TEXT = 1;

// What a control reports to its parent: the source control, the code and
// the record of that notification. The control's client coordinates travel
// with mouse messages.
struct RichEditNotification {
    QWidget *hwndFrom = nullptr;
    int code = 0;
    int msg = 0;      // filtered message (EN_MSGFILTER, EN_PROTECTED, EN_LINK)
    int wParam = 0;   // key code or character of key messages
    int x = 0, y = 0; // pointer position in the control's client pixels
    int shift = 0;    // modifier mask at the time of the message
    int cpMin = 0, cpMax = 0;
    int selType = 0;
};

} // namespace tessilor

// The hook registry of the rich text controls. Every attached control gets
// the control filter (scroll messages), and every parent holding attached
// controls gets the parent filter exactly once (notifications from its
// controls). Both filters hand what they catch to the owning object's
// zRichEditCallBack. Records are found by window.
namespace tessilor::richEditHooks {

// What the hooks call back: the control that owns a hook record.
class HookOwner
{
public:
    // The control's window.
    virtual QWidget *hwnd() const = 0;
    // Handles a notification or scroll message; nonzero means handled.
    virtual qint32 zRichEditCallBack(int uMsg, const RichEditNotification &lParam) = 0;

protected:
    ~HookOwner() = default;
};

// What a control sends: to its parent for notifications, to itself for
// scroll messages. answer is what the owner replied (nonzero = handled).
class NotifyEvent : public QEvent
{
public:
    explicit NotifyEvent(const RichEditNotification &n) : QEvent(type()), notification(n) {}
    static QEvent::Type type();
    RichEditNotification notification;
    qint32 answer = 0;
    bool delivered = false;
};

struct EditHook {
    QPointer<QObject> Filter; // the filter standing in for the control's procedure
    QPointer<QWidget> hWnd;   // the control window
    int CtrlID = 0;           // the control's child identifier
    QPointer<QWidget> hWndParent;
    HookOwner *Owner = nullptr; // not owned; detach before the owner goes
};

struct ParentHook {
    QPointer<QObject> Filter;
    QPointer<QWidget> hWnd;
};

void AttachRichEdit(HookOwner *object);
void DetachRichEdit(HookOwner *object);
// Highest index of the control table (which = false) or the parent table
// (which = true); -1 when empty.
int HookCount(bool which);
// Index of the record of the window, searched from 0 upward; -1 when none.
int FindHook(const QWidget *hWnd, bool which);
// Removes a record and gives the window its old behaviour back.
void RemoveHook(int index, bool which);

const EditHook &EditHooks(int index);
const ParentHook &ParentHooks(int index);

// The filters' work: true when the event was handled for the window.
bool EditWindowProc(QWidget *hWnd, QEvent *event);
bool ParentWindowProc(QWidget *hWnd, QEvent *event);

// Sends a notification from a control to its parent (through the parent's
// filter when it has one) and returns the answer; 0 when nobody handled it.
qint32 notifyParent(QWidget *control, const RichEditNotification &n);
// Sends a scroll message to the control itself.
qint32 notifySelf(QWidget *control, const RichEditNotification &n);

} // namespace tessilor::richEditHooks
