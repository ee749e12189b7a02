#include "Tavrinmain.h"
#include "start.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/fonts.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication a(argc, argv);
    ui::qt::installFontSubstitutes();
    ui::qt::QtBackend backend;
    ui::setBackend(&backend);

    // Qt's own buttons (OK, キャンセル) in the program's language.
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        a.installTranslator(&qtTranslations);

    int code = 1;
    if (start::Main())
        code = a.exec();
    delete &Tavrinmain::instance();
    return code;
}
