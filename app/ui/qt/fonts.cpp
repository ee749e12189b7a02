#include "ui/qt/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace ui::qt
{
namespace
{

// The family a font of the forms asks for: the designed face where the machine
// has it, else the first stand-in it has. A family the machine lacks is still
// found through the substitutes, but only after fontconfig's fallback search
// for it, once per script, size and style hint: at start-up that search cost
// twice as much as everything else a bare window does. Asking for an installed
// family skips it and draws the very same glyphs.
QString installedFamily(const char* designed, const char* standIn)
{
    const QString name = QString::fromUtf8(designed);
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(name))
        return name;
    const QString substitute = QString::fromUtf8(standIn);
    // With neither installed, the substitutes and fontconfig choose, as before.
    return installed.contains(substitute) ? substitute : name;
}

const QString& gothicFamily()
{
    static const QString family = installedFamily(kGothic, "IPAGothic");
    return family;
}

const QString& pgothicFamily()
{
    static const QString family = installedFamily(kPGothic, "IPAPGothic");
    return family;
}

}  // namespace

void installFontSubstitutes()
{
    QStringList gothic;
    gothic << QStringLiteral("IPAGothic") << QStringLiteral("IPAゴシック");
    QStringList pgothic;
    pgothic << QStringLiteral("IPAPGothic") << QStringLiteral("IPA Pゴシック");
    QFont::insertSubstitutions(QString::fromUtf8(kGothic), gothic);
    QFont::insertSubstitutions(QString::fromUtf8(kPGothic), pgothic);
}

QFont gothicFont(double pointSize)
{
    QFont f(gothicFamily());
    f.setPointSizeF(pointSize);
    f.setWeight(QFont::Normal);
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    return f;
}

QFont pgothicFont(double pointSize)
{
    QFont f(pgothicFamily());
    f.setPointSizeF(pointSize);
    f.setWeight(QFont::Normal);
    return f;
}

}  // namespace ui::qt
