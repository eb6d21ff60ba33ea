#pragma once
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>

class QAction;
class QPaintEvent;
class QPainter;
class QScrollBar;
class QTextEdit;

namespace tessilor {

// A zoom of a text window's view, the document untouched: the window paints
// its document through a scaled painter, scrolls in zoomed pixels and maps
// the pointer back to document coordinates, so selecting and copying work
// as before. Its document, its fonts and whatever is saved or printed from
// it stay the same. At zoom 1 the window paints as it always does.
//
// Ctrl+wheel over the window zooms about the pointer; the commands (also
// with their keys, in the window's context menu) zoom in (Ctrl++, Ctrl+=),
// out (Ctrl+-), back to 100 % (Ctrl+0) and to the whole document in view.
// A figure mosaic zoomed so far out that a cell is a few pixels is drawn
// from a picture of one pixel a cell, each the cell's colour mixed with its
// glyph's ink, made once for the document.
// The caret moved with the keys stays in the zoomed view, which scrolls
// along as the window's own view does at 100 %.
// They are enabled while the window is on screen. Their keys work where the
// focus is in the window or its subwindow; a window that holds the text
// window in a subwindow adds them to itself for its whole area.
class TextZoom : public QObject
{
    Q_OBJECT
public:
    explicit TextZoom(QTextEdit *edit);

    double zoom() const { return m_zoom; }
    // Sets the zoom (bounded), keeping the document point under the
    // viewport point anchor where it is; by default the viewport's centre.
    void setZoom(double zoom, QPointF anchor = QPointF(-1, -1));
    void zoomIn();
    void zoomOut();
    void resetZoom();
    void fitWhole();

    QAction *zoomInAction() const { return m_in; }
    QAction *zoomOutAction() const { return m_out; }
    QAction *resetAction() const { return m_reset; }
    QAction *fitAction() const { return m_fit; }
    QList<QAction *> actions() const { return {m_in, m_out, m_reset, m_fit}; }

Q_SIGNALS:
    void zoomChanged(double zoom);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Scrolls the zoomed view as little as needed to show the caret.
    void ensureCaretVisible();
    void paint(QPaintEvent *event);
    bool paintCells(QPainter &painter);
    void applyRanges();
    QPoint scroll() const;
    bool forwardMapped(QEvent *event);

    // The text window, or null once it is gone or being taken apart (its
    // children, this one among them, go while it is only a QWidget).
    QTextEdit *edit() const;

    QPointer<QObject> m_target;
    double m_zoom = 1.0;
    int m_wheelRest = 0; // wheel turn not yet spent on a step, in 1/8 degrees
    bool m_settingRanges = false;
    bool m_forwarding = false;
    QImage m_cells; // the mosaic's cells, one pixel each; null until needed
    QAction *m_in = nullptr;
    QAction *m_out = nullptr;
    QAction *m_reset = nullptr;
    QAction *m_fit = nullptr;
};

} // namespace tessilor
