#include "Tavrinmain.h"
#include "fonts.h"
#include "start.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>

namespace
{

// The start-up benchmark times the process up to its first painted main
// window: with TAVRIN_EXIT_AFTER_FIRST_PAINT set, the program leaves its
// event loop as soon as that paint (the window's and its controls') is done.
class ExitAfterFirstPaint : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !done_)
        {
            done_ = true;
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool done_ = false;
};

}  // namespace

int main(int argc, char* argv[])
{
    QApplication a(argc, argv);
    installFontSubstitutes();

    // Qt's own buttons (OK, キャンセル) in the program's language.
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        a.installTranslator(&qtTranslations);

    int code = 1;
    ExitAfterFirstPaint exitProbe;
    if (start::Main())
    {
        if (std::getenv("TAVRIN_EXIT_AFTER_FIRST_PAINT"))
            Tavrinmain::instance().installEventFilter(&exitProbe);
        code = a.exec();
    }
    Tavrinmain::destroyInstance();
    return code;
}
