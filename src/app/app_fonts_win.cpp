#include "app/app_fonts.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>

namespace k8w {
namespace {

const QString kCondensedFamily = QStringLiteral("DejaVu Sans Condensed");
const QString kSansFamily = QStringLiteral("DejaVu Sans");

} // namespace

// Windows' own font system names the condensed faces "DejaVu Sans
// Condensed", as the windows ask. A platform that reads the fonts through
// FreeType (the offscreen one) lists them as the condensed stretch of "DejaVu
// Sans": there the windows' family is taken for that one, and the condensed
// stretch, which the windows' fonts do not set, comes from the application's
// font they inherit.
void loadAppFonts() {
    const QDir folder(QApplication::applicationDirPath() + QStringLiteral("/fonts"));
    for (const QString& file : folder.entryList({QStringLiteral("*.ttf")}, QDir::Files))
        QFontDatabase::addApplicationFont(folder.filePath(file));
    if (QFontDatabase::families().contains(kCondensedFamily)) return;
    if (!QFontDatabase::styles(kSansFamily).contains(QStringLiteral("Condensed"))) return;
    QFont::insertSubstitution(kCondensedFamily, kSansFamily);
    QFont font = QApplication::font();
    font.setStretch(QFont::Condensed);
    QApplication::setFont(font);
}

} // namespace k8w
