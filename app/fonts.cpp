#include "fonts.h"

#include <QStringList>

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
    QFont f(QString::fromUtf8(kGothic));
    f.setPointSizeF(pointSize);
    f.setWeight(QFont::Normal);
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    return f;
}

QFont pgothicFont(double pointSize)
{
    QFont f(QString::fromUtf8(kPGothic));
    f.setPointSizeF(pointSize);
    f.setWeight(QFont::Normal);
    return f;
}
