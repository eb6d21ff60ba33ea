#pragma once
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>

#include "picture/imageloader.h"
#include "widgets/subwindow.h"

class QMenu;
class QAction;
class QScrollBar;
class QSizeGrip;
class QStatusBar;

namespace tessilor {

class CaptionBar;
class ImageSurface;
class ImageViewport;

// The image window: a frameless MDI child with its own caption strip that
// keeps the loaded picture at its natural size (Picture3), shows a display
// copy of it at the chosen zoom (Picture2) inside a viewport (Picture1) and
// pans that copy with two scroll bars. The zoom menu mnuMas (items mnuV 0..9)
// is offered by the status-bar button in the bottom-left corner and by the
// main window's zoom button.
//
// Add the window to the MDI area (QMdiArea::addSubWindow) before the first
// loadFile. The window is hidden, not destroyed, when closed; it then
// holds no picture until the next loadFile.
class ImageWindow : public FramelessSubWindow
{
    Q_OBJECT
public:
    explicit ImageWindow(QWidget *parent = nullptr);
    ~ImageWindow() override;

    // Loads a picture file (BMP/DIB, JPEG, GIF, PNG, WebP or TIFF, see
    // loadImage). On success: the picture becomes the source image, the
    // window is shown at (0, 0) with 3000 x 3000 twips, fit to window is
    // applied and the path is stored. On failure the earlier picture, path
    // and display stay as they were, error says why (detail in the
    // decoder's words, when it had any), and false is returned.
    bool loadFile(const QString &path, LoadError *error = nullptr, QString *detail = nullptr);
    // Takes an already decoded picture (same sequence as loadFile).
    void setPicture(const QImage &image, const QString &path);

    // Applies zoom item index (0 .. 9); separators and other values do
    // nothing.
    void chooseZoomItem(int index);

    bool hasPicture() const { return !m_source.isNull(); }
    const QImage &sourceImage() const { return m_source; } // Picture3
    // A copy of the picture reduced to at most kReducedSide pixels a side
    // (the picture itself when it is no larger), made once per picture:
    // quick previews are sampled from it.
    const QImage &reducedImage() const;
    static constexpr int kReducedSide = 2048;
    const QImage &displayImage() const { return m_display; } // Picture2's image
    QSize displaySize() const { return m_display.size(); }

    // Path of the loaded file (the tag of Picture3); empty when none.
    QString sourcePath() const { return m_sourcePath; }
    void setSourcePath(const QString &path) { m_sourcePath = path; }

    // The zoom menu (mnuMas) and its items (mnuV).
    QMenu *zoomMenu() const { return m_zoomMenu; }
    QAction *zoomItem(int index) const;
    // Index of the checked zoom item, -1 when none.
    int checkedZoomItem() const;

    // The font the run control sets before each conversion and the result
    // window reads; the window draws no text with it.
    QFont windowFont() const { return m_windowFont; }
    void setWindowFont(const QFont &font) { m_windowFont = font; }

    // Parts, for the main window and for tests.
    CaptionBar *captionBar() const { return m_header; }
    QWidget *viewport() const;       // Picture1
    QWidget *displaySurface() const; // Picture2
    QScrollBar *hScroll() const { return m_hScroll; }
    QScrollBar *vScroll() const { return m_vScroll; }
    QStatusBar *statusBar() const { return m_statusBar; }
    QSizeGrip *sizeGrip() const { return m_sizeGrip; }

    // Size of the client area in twips, and of the viewport.
    QSize clientTwips() const;
    QSize viewportTwips() const;

Q_SIGNALS:
    // The display copy has a new size (or new content after a load), pw x ph
    // pixels. ImageAspect is already set when this is emitted.
    void displaySizeChanged(int pw, int ph);
    // The window was closed and its picture cleared. fileStillExists is true
    // when path is not blank and still names an existing file.
    void unloaded(const QString &path, bool fileStillExists);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenu();
    void layoutParts();
    void viewportResized();
    void updateScrollRanges();
    void pan();
    bool setDisplaySize(const QSize &pixels);
    void applyFit();
    void checkOnly(int index);
    void publishIfChanged();

    QWidget *m_client = nullptr;
    CaptionBar *m_header = nullptr;
    ImageViewport *m_picture1 = nullptr;
    ImageSurface *m_picture2 = nullptr;
    QScrollBar *m_hScroll = nullptr;
    QScrollBar *m_vScroll = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QSizeGrip *m_sizeGrip = nullptr;
    QMenu *m_zoomMenu = nullptr;
    QList<QAction *> m_zoomItems;

    QImage m_source; // Picture3
    mutable QImage m_reduced;
    QImage m_display; // Picture2
    QString m_sourcePath;
    QFont m_windowFont;
    QSize m_published; // last size published
    bool m_contentChanged = false;
    bool m_inLayout = false;
};

} // namespace tessilor
