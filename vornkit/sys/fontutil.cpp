#include "sys/fontutil.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace {

// Installed families that can stand in, best first.
QStringList presentFamilies(const QStringList& wanted)
{
    const QStringList installed = QFontDatabase().families();
    QStringList found;
    for (const QString& family : wanted) {
        if (installed.contains(family, Qt::CaseInsensitive))
            found.append(family);
    }
    return found;
}

void substitute(const QString& family, const QStringList& candidates)
{
    const QStringList found = presentFamilies(candidates);
    if (!found.isEmpty())
        QFont::insertSubstitutions(family, found);
}

} // namespace

void installFontFallbacks()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QStringList sans { "Microsoft YaHei", "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Source Han Sans SC",
        "Droid Sans Fallback", "WenQuanYi Zen Hei", "AR PL UMing CN" };
    const QStringList serif { "SimSun", "Noto Serif CJK SC", "Source Han Serif SC", "AR PL UMing CN",
        "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Droid Sans Fallback" };
    substitute(QStringLiteral("微软雅黑"), sans);
    substitute(QStringLiteral("宋体"), serif);
}
