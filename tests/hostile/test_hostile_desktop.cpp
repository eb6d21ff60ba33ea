// The desktop program opening every hostile file: the open error message
// with the file's name and an error icon, and the picture open before stays.
#include "hostile/hostilecorpus.h"
#include "support/apptestsupport.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "base/paths.h"
#include "picture/imageloader.h"
#include "view/imagewindow.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace tessilor;

class TestHostileDesktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyHostileFileGivesTheOpenErrorAndKeepsThePicture()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QList<hostile::HostileFile> corpus = hostile::makeCorpus(dir);
        const QString good = dir.filePath(QStringLiteral("good.bmp"));
        {
            QFile f(good);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(hostile::goodBmp());
        }
        auto form = std::make_unique<MainWindow>();
        form->showAsStored();
        QVERIFY(form->loadPicture(good));
        QVERIFY(form->existingImageWindow() && form->existingImageWindow()->hasPicture());

        for (const hostile::HostileFile &h : corpus) {
            if (h.mayLoadUpTo.isValid())
                continue;
            QString text;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            apptest::closeNextMessage(&text, &icon);
            QVERIFY2(!form->loadPicture(h.path), qPrintable(h.what));
            const QString general = QStringLiteral("Ошибка открытия файла ") + h.name.toLower() +
                                    QStringLiteral(".\r\nВозможно Файл имеет формат отличный от BMP/JPEG/GIF/PNG/"
                                                   "WebP/TIFF, имеет не поддерживаемую степень сжатия или превышает "
                                                   "допустимые размеры.\r\nПричина: ");
            QVERIFY2(text.startsWith(general), qPrintable(h.what + QStringLiteral(": ") + text));
            // The cause is one the loader may give for this file.
            bool known = false;
            for (LoadError e : h.allowed)
                known = known || text.mid(general.size()).startsWith(loadErrorTextRussian(e));
            QVERIFY2(known, qPrintable(h.what + QStringLiteral(": ") + text));
            QCOMPARE(icon, QMessageBox::Critical);
            QVERIFY2(form->existingImageWindow()->hasPicture(), qPrintable(h.what));
            QCOMPARE(form->existingImageWindow()->sourceImage().size(), QSize(8, 6));
        }
        form->close();
    }
};

TESSILOR_APP_TEST_MAIN(TestHostileDesktop)

#include "test_hostile_desktop.moc"
