#pragma once
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QWidget>

#include "richtext/crichedit.h"

// The hook registry of the rich text controls. Every attached control gets
// the control filter (scroll messages), and every parent holding attached
// controls gets the parent filter exactly once (notifications from its
// controls). Both filters hand what they catch to the owning object's
// zRichEditCallBack. Records are found by window.
namespace tessilor::mRichEdit {

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
    cRichEdit *Owner = nullptr; // not owned; detach before the owner goes
};

struct ParentHook {
    QPointer<QObject> Filter;
    QPointer<QWidget> hWnd;
};

void AttachRichEdit(cRichEdit *object);
void DetachRichEdit(cRichEdit *object);
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

} // namespace tessilor::mRichEdit
