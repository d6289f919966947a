#include "app/card_base_choice.h"

#include "store/card_store.h"

#include <QFileInfo>
#include <QSettings>

namespace k8w {

QString ChooseCardBase(const QStringList& arguments, const QString& fileName, QString* error) {
    const QString option = QStringLiteral("--base");
    QString chosen;
    QString from;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == option) {
            if (i + 1 >= arguments.size()) {
                if (error) *error = QStringLiteral("--base needs a URL");
                return {};
            }
            chosen = arguments[i + 1];
            from = option;
        } else if (arguments[i].startsWith(option + QLatin1Char('='))) {
            chosen = arguments[i].mid(option.size() + 1);
            from = option;
        }
    }
    if (from.isEmpty() && QFileInfo::exists(kCardBaseConfigName)) {
        const QSettings settings(kCardBaseConfigName, QSettings::IniFormat);
        chosen = settings.value(QStringLiteral("base/url")).toString().trimmed();
        from = kCardBaseConfigName;
    }
    if (chosen.isEmpty() && from != option) return fileName;
    if (!IsCardBaseUri(chosen)) {
        if (error)
            *error = QStringLiteral("%1: the base must be a postgresql:// or postgres:// URI, not \"%2\"")
                         .arg(from, CardBaseUriForDisplay(chosen));
        return {};
    }
    return chosen;
}

} // namespace k8w
