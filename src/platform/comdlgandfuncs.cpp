#include "platform/comdlgandfuncs.h"

#include "base/paths.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QTreeView>

namespace tessilor {

std::array<quint32, 16> CustomColors{};

namespace {

QColor colorOf(quint32 value)
{
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}

quint32 valueOf(const QColor &c)
{
    return quint32(c.red()) + 256u * quint32(c.green()) + 65536u * quint32(c.blue());
}

// The file list with its sizes and times as a Russian locale writes them:
// Qt's file model writes them in the system's locale.
class RussianFileList : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        enum { SizeColumn = 1, TimeColumn = 3 };
        auto *files = qobject_cast<QFileSystemModel *>(sourceModel());
        if (files && role == Qt::DisplayRole && (index.column() == SizeColumn || index.column() == TimeColumn)) {
            const QModelIndex source = mapToSource(index);
            if (index.column() == TimeColumn)
                return dialogFileTime(files->lastModified(source));
            if (!files->isDir(source))
                return dialogFileSize(files->size(source));
        }
        return QIdentityProxyModel::data(index, role);
    }
};

// Room a file dialog opens with, in average characters: whole names, sizes,
// types and dates side by side.
constexpr int kDialogWidthChars = 110;
constexpr int kDialogHeightLines = 28;

// The program's file dialog. In save mode it asks before replacing an
// existing file, in Russian like the rest of the program, and it follows the
// chosen file type with the extension added to a bare name. Its list shows
// sizes and dates as a Russian locale writes them, and it opens wide enough
// for its columns to show them whole.
class FileDialog : public QFileDialog
{
public:
    FileDialog(QWidget *owner, int mode, const QString &title, const QString &dir)
        : QFileDialog(owner, title, dir), m_save(mode != 1)
    {
        setObjectName(QStringLiteral("FileDialog"));
        setOption(QFileDialog::DontUseNativeDialog);
        setOption(QFileDialog::DontResolveSymlinks);
        // The replace question is asked by accept() below.
        setOption(QFileDialog::DontConfirmOverwrite);
        setAcceptMode(m_save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        setFileMode(m_save ? QFileDialog::AnyFile : QFileDialog::ExistingFiles);
        setLabelText(QFileDialog::LookIn, QStringLiteral("Папка:"));
        setLabelText(QFileDialog::FileName, QStringLiteral("Имя файла:"));
        setLabelText(QFileDialog::FileType, QStringLiteral("Тип файлов:"));
        setLabelText(QFileDialog::Accept, m_save ? QStringLiteral("Сохранить") : QStringLiteral("Открыть"));
        setLabelText(QFileDialog::Reject, QStringLiteral("Отмена"));
        setProxyModel(new RussianFileList(this));
        const QFontMetrics fm(font());
        resize(available().boundedTo(
            QSize(fm.averageCharWidth() * kDialogWidthChars, fm.lineSpacing() * kDialogHeightLines)));
        // Once a folder is listed its columns are made wide enough.
        if (auto *files = findChild<QFileSystemModel *>())
            connect(files, &QFileSystemModel::directoryLoaded, this,
                    [this] { QTimer::singleShot(0, this, [this] { fitColumns(); }); });
    }

    // The columns after the name as wide as their texts, the name column
    // with the rest; the dialog grows within its screen when the names need
    // more room.
    void fitColumns()
    {
        auto *tree = findChild<QTreeView *>(QStringLiteral("treeView"));
        if (!tree || !tree->model())
            return;
        QHeaderView *header = tree->header();
        // (QTreeView keeps its own override of this protected.)
        const QAbstractItemView *view = tree;
        int others = 0;
        for (int column = 1; column < header->count(); ++column) {
            if (header->isSectionHidden(column))
                continue;
            const int wanted = qMax(view->sizeHintForColumn(column), header->sectionSizeHint(column));
            if (header->sectionSize(column) < wanted)
                header->resizeSection(column, wanted);
            others += header->sectionSize(column);
        }
        const int names = qMax(view->sizeHintForColumn(0), header->sectionSizeHint(0));
        const int missing = names + others - tree->viewport()->width();
        if (missing > 0) {
            const int width = qMin(this->width() + missing, available().width());
            if (width > this->width())
                resize(width, height());
        }
        header->resizeSection(0, qMax(names, tree->viewport()->width() - others));
    }

    // A name typed without extension gets the extension of the chosen file
    // type ("Текстовые файлы (*.txt)" gives "txt"); a type of several
    // patterns or a wildcard gives the caller's default extension.
    void followFilterExtension(const QString &defExt)
    {
        if (defExt.isEmpty())
            return;
        auto apply = [this, defExt](const QString &filter) {
            const QString ext = FilterExtension(filter);
            setDefaultSuffix(ext.isEmpty() ? defExt : ext);
        };
        apply(selectedNameFilter());
        connect(this, &QFileDialog::filterSelected, this, apply);
    }

    // Proposes a file name: its type is chosen in the list, and a name that
    // ends in a type's extension follows the type the user chooses, so that
    // the file is written in the type the list shows.
    void proposeName(const QString &name)
    {
        QStringList exts;
        for (const QString &filter : nameFilters())
            exts.append(FilterExtension(filter));
        const qsizetype type = exts.indexOf(getExt(name));
        if (type >= 0)
            selectNameFilter(nameFilters().at(type));
        selectFile(name);
        connect(this, &QFileDialog::filterSelected, this, [this, exts](const QString &filter) {
            auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (edit)
                edit->setText(NameForType(edit->text(), FilterExtension(filter), exts));
        });
    }

    void accept() override
    {
        if (m_save) {
            const QStringList files = selectedFiles();
            if (!files.isEmpty()) {
                const QFileInfo info(files.first());
                if (info.exists() && !info.isDir()) {
                    QMessageBox box(QMessageBox::Warning, windowTitle(),
                                    QStringLiteral("Файл %1 уже существует.\nЗаменить его?").arg(info.fileName()),
                                    QMessageBox::NoButton, this);
                    box.setObjectName(QStringLiteral("OverwritePrompt"));
                    QPushButton *yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
                    QPushButton *no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
                    box.setDefaultButton(no);
                    box.exec();
                    if (box.clickedButton() != yes)
                        return;
                }
            }
        }
        QFileDialog::accept();
    }

private:
    // The room the dialog may take on its screen: the available area less
    // a frame like its owner's (the window manager has not framed the dialog
    // yet).
    QSize available() const
    {
        const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
        const QScreen *s = owner ? owner->screen() : QGuiApplication::primaryScreen();
        const QSize area = s ? s->availableGeometry().size() : QSize(1024, 700);
        const QSize frame = owner && owner->isVisible() ? owner->frameGeometry().size() - owner->size() : QSize(8, 32);
        return area - frame.expandedTo(QSize(0, 0));
    }

    bool m_save;
};

} // namespace

QString fileDialogTitle(int mode)
{
    return mode == 1 ? QStringLiteral("Открыть файл") : QStringLiteral("Сохранить файл");
}

bool ShowColorDialog(quint32 &color, QWidget *owner)
{
    if (CustomColors[0] == 0)
        CustomColors[0] = color;
    for (int i = 0; i < int(CustomColors.size()); ++i)
        QColorDialog::setCustomColor(i, colorOf(CustomColors[i]));

    QColorDialog dlg(colorOf(color), owner);
    dlg.setObjectName(QStringLiteral("ColorDialog"));
    dlg.setOption(QColorDialog::DontUseNativeDialog);
    dlg.setWindowTitle(QStringLiteral("Цвет"));
    const bool confirmed = dlg.exec() == QDialog::Accepted;

    // The dialog may have changed the custom colours; they stay for the run.
    for (int i = 0; i < int(CustomColors.size()); ++i)
        CustomColors[i] = valueOf(QColorDialog::customColor(i));
    if (confirmed)
        color = valueOf(dlg.selectedColor());
    return confirmed;
}

FileDialogAnswer ShowFileDialog(int mode, const QString &initDir, const FilterTable &filters, const QString &defExt,
                                QWidget *owner, const QString &proposedName)
{
    FileDialog dlg(owner, mode, fileDialogTitle(mode), initDir);
    const QStringList nameFilters = QtNameFilters(BuildFilterString(filters));
    if (!nameFilters.isEmpty())
        dlg.setNameFilters(nameFilters);
    if (!proposedName.isEmpty())
        dlg.proposeName(proposedName);
    dlg.followFilterExtension(defExt);

    FileDialogAnswer answer;
    if (dlg.exec() != QDialog::Accepted)
        return answer;
    const QStringList chosen = dlg.selectedFiles();
    if (!chosen.isEmpty() && !chosen.first().isEmpty()) {
        answer.files = chosen;
        answer.filter = dlg.selectedNameFilter();
    }
    return answer;
}

} // namespace tessilor
