#include "platform/qttexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace tessilor {

namespace {

// Texts of Qt's dialogs that its Russian translation does not have.
class MissingQtTexts : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char * /*disambiguation*/,
                      int /*n*/) const override
    {
        struct Text {
            const char *context;
            const char *source;
            const char16_t *russian;
        };
        static const Text texts[] = {
            {"QAbstractFileIconProvider", "Folder", u"Папка"},
            {"QAbstractFileIconProvider", "Drive", u"Диск"},
        };
        if (!context || !sourceText)
            return QString();
        for (const Text &t : texts) {
            if (std::strcmp(t.context, context) == 0 && std::strcmp(t.source, sourceText) == 0)
                return QString::fromUtf16(t.russian);
        }
        return QString();
    }
};

} // namespace

bool useRussianQtTexts()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return false;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto *qt = new QTranslator(app);
    const bool loaded = qt->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded)
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    // Installed last, asked first: only for the texts it knows.
    QCoreApplication::installTranslator(new MissingQtTexts(app));
    return loaded;
}

} // namespace tessilor
