#include "richtext/richedithooks.h"

#include <QCoreApplication>

namespace tessilor::richEditHooks {

namespace {

QList<EditHook> g_edit;
QList<ParentHook> g_parent;
int g_nextId = 1;

class EditFilter : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == NotifyEvent::type() && watched->isWidgetType())
            return EditWindowProc(static_cast<QWidget *>(watched), event);
        return false;
    }
};

class ParentFilter : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == NotifyEvent::type() && watched->isWidgetType())
            return ParentWindowProc(static_cast<QWidget *>(watched), event);
        return false;
    }
};

EditFilter *editFilter()
{
    static EditFilter *f = new EditFilter;
    return f;
}

ParentFilter *parentFilter()
{
    static ParentFilter *f = new ParentFilter;
    return f;
}

} // namespace

QEvent::Type NotifyEvent::type()
{
    static const QEvent::Type t = QEvent::Type(QEvent::registerEventType());
    return t;
}

int HookCount(bool which)
{
    return int(which ? g_parent.size() : g_edit.size()) - 1;
}

int FindHook(const QWidget *hWnd, bool which)
{
    if (!hWnd)
        return -1;
    if (which) {
        for (int i = 0; i < g_parent.size(); ++i)
            if (g_parent[i].hWnd == hWnd)
                return i;
    } else {
        for (int i = 0; i < g_edit.size(); ++i)
            if (g_edit[i].hWnd == hWnd)
                return i;
    }
    return -1;
}

const EditHook &EditHooks(int index)
{
    return g_edit.at(index);
}

const ParentHook &ParentHooks(int index)
{
    return g_parent.at(index);
}

namespace {

// Records of windows that are gone can never be found again: drop them.
void dropDeadRecords()
{
    for (int i = int(g_edit.size()) - 1; i >= 0; --i)
        if (!g_edit[i].hWnd)
            g_edit.removeAt(i);
    for (int i = int(g_parent.size()) - 1; i >= 0; --i) {
        bool used = false;
        for (const EditHook &e : std::as_const(g_edit))
            used = used || e.hWndParent == g_parent[i].hWnd;
        if (!g_parent[i].hWnd || !used)
            RemoveHook(i, true);
    }
}

} // namespace

void AttachRichEdit(HookOwner *object)
{
    dropDeadRecords();
    QWidget *h = object ? object->hwnd() : nullptr;
    if (!h || FindHook(h, false) != -1)
        return;
    EditHook rec;
    rec.hWnd = h;
    rec.Filter = editFilter();
    h->installEventFilter(editFilter());
    rec.CtrlID = g_nextId++;
    rec.hWndParent = h->parentWidget();
    rec.Owner = object;
    g_edit.append(rec);
    QWidget *p = rec.hWndParent;
    if (!p || FindHook(p, true) != -1)
        return;
    ParentHook ph;
    ph.hWnd = p;
    ph.Filter = parentFilter();
    p->installEventFilter(parentFilter());
    g_parent.append(ph);
}

void DetachRichEdit(HookOwner *object)
{
    QWidget *h = object ? object->hwnd() : nullptr;
    const int a = FindHook(h, false);
    if (a == -1) {
        // The window went with its parent: forget the owner's records.
        bool had = false;
        for (int i = int(g_edit.size()) - 1; i >= 0; --i)
            if (g_edit[i].Owner == object && !g_edit[i].hWnd) {
                g_edit.removeAt(i);
                had = true;
            }
        if (had)
            dropDeadRecords();
        return;
    }
    const EditHook r = g_edit[a];
    for (int i = 0; i < g_edit.size(); ++i) {
        if (i != a && g_edit[i].hWndParent == r.hWndParent) {
            RemoveHook(a, false);
            return;
        }
    }
    RemoveHook(a, false);
    const int p = FindHook(r.hWndParent, true);
    if (p != -1)
        RemoveHook(p, true);
}

void RemoveHook(int index, bool which)
{
    if (which) {
        if (index < 0 || index >= g_parent.size())
            return;
        const ParentHook &r = g_parent[index];
        if (r.hWnd && r.Filter)
            r.hWnd->removeEventFilter(r.Filter);
        g_parent.removeAt(index);
    } else {
        if (index < 0 || index >= g_edit.size())
            return;
        const EditHook &r = g_edit[index];
        if (r.hWnd && r.Filter)
            r.hWnd->removeEventFilter(r.Filter);
        g_edit.removeAt(index);
    }
}

bool EditWindowProc(QWidget *hWnd, QEvent *event)
{
    const int a = FindHook(hWnd, false);
    if (a == -1 || event->type() != NotifyEvent::type())
        return false;
    auto *ev = static_cast<NotifyEvent *>(event);
    const int code = ev->notification.code;
    if ((code == WM_VSCROLL || code == WM_HSCROLL) && g_edit[a].Owner) {
        ev->delivered = true;
        ev->answer = g_edit[a].Owner->zRichEditCallBack(code, ev->notification);
        return true;
    }
    return false;
}

bool ParentWindowProc(QWidget *hWnd, QEvent *event)
{
    if (FindHook(hWnd, true) == -1 || event->type() != NotifyEvent::type())
        return false;
    auto *ev = static_cast<NotifyEvent *>(event);
    const int a = FindHook(ev->notification.hwndFrom, false);
    if (a == -1 || !g_edit[a].Owner)
        return false;
    ev->delivered = true;
    // The owner may detach itself while it handles the event: copy first.
    HookOwner *owner = g_edit[a].Owner;
    ev->answer = owner->zRichEditCallBack(ev->notification.code, ev->notification);
    return true;
}

qint32 notifyParent(QWidget *control, const RichEditNotification &n)
{
    QWidget *parent = control ? control->parentWidget() : nullptr;
    if (!parent)
        return 0;
    NotifyEvent ev(n);
    ev.notification.hwndFrom = control;
    QCoreApplication::sendEvent(parent, &ev);
    return ev.answer;
}

qint32 notifySelf(QWidget *control, const RichEditNotification &n)
{
    if (!control)
        return 0;
    NotifyEvent ev(n);
    ev.notification.hwndFrom = control;
    QCoreApplication::sendEvent(control, &ev);
    return ev.answer;
}

} // namespace tessilor::richEditHooks
