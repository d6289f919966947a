#include "app/card_base_choice.h"

#include "app/card_base_texts.h"
#include "store/card_store.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace k8w {
namespace {

const QString kBaseGroup = QStringLiteral("base");
const QString kUrlKey = QStringLiteral("url");

// A value as the INI format writes it: "quoted" (with \" and \\ inside) when
// it holds a comma or a semicolon, else as is. A libpq URI is taken whole,
// commas and all.
bool unquote(QString value, QString& into) {
    value = value.trimmed();
    if (!value.startsWith(QLatin1Char('"'))) {
        into = value;
        return true;
    }
    into.clear();
    for (qsizetype i = 1; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            into += value[++i];
        } else if (c == QLatin1Char('"')) {
            return value.mid(i + 1).trimmed().isEmpty();
        } else {
            into += c;
        }
    }
    return false;  // no closing quote
}

// url= of the [base] group of the settings text; false (and why) when it
// cannot be read as one value. `found` tells whether the group names a url.
bool readConfUrl(const QString& text, QString& url, bool& found, QString& why) {
    found = false;
    QString group;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (group != kBaseGroup || equals < 0 || line.left(equals).trimmed() != kUrlKey) continue;
        if (found) {
            why = QStringLiteral("url= is given more than once in [base]");
            return false;
        }
        found = true;
        if (!unquote(line.mid(equals + 1), url)) {
            why = QStringLiteral("url= has a quote that is not closed");
            return false;
        }
    }
    return true;
}

// Why a url read from the settings cannot name a base, or empty.
QString refusal(const QString& url) {
    if (url.isEmpty()) return QStringLiteral("url= is empty");
    if (!IsCardBaseUri(url))
        return QStringLiteral("the base must be a postgresql:// or postgres:// URI, not \"%1\"")
            .arg(CardBaseUriForDisplay(url));
    // Several URIs in one value: a list, not one base.
    static const QRegularExpression second(QStringLiteral("[,\\s]\\s*postgres(ql)?://"));
    if (url.contains(second)) return QStringLiteral("url= names more than one URI; give one (hosts may be listed in it)");
    if (url.contains(QRegularExpression(QStringLiteral("\\s")))) return QStringLiteral("url= contains a space");
    return {};
}

} // namespace

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
        from = kCardBaseConfigName;
        QFile conf(kCardBaseConfigName);
        QString why;
        bool found = false;
        if (!conf.open(QIODevice::ReadOnly)) {
            why = conf.errorString();
        } else if (readConfUrl(QString::fromUtf8(conf.readAll()), chosen, found, why) && !found) {
            return fileName;  // k8w.conf without a base
        }
        if (why.isEmpty()) why = refusal(chosen);
        if (!why.isEmpty()) {
            if (error) *error = QStringLiteral("%1: %2").arg(from, why);
            return {};
        }
        return chosen;
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

QString CardBaseShownName(const QString& location) {
    if (!IsCardBaseUri(location)) return QFileInfo(location).absoluteFilePath();
    // Hosts (a list of standbys included) and database, from the authority
    // and path or from the host= and dbname= parameters.
    static const QRegularExpression parts(
        QStringLiteral("^[A-Za-z]+://(?:[^@/?]*@)?([^/?]*)(?:/([^?]*))?(?:\\?(.*))?$"));
    const QRegularExpressionMatch m = parts.match(location);
    QString hosts = QUrl::fromPercentEncoding(m.captured(1).toUtf8());
    QString database = QUrl::fromPercentEncoding(m.captured(2).toUtf8());
    const QUrlQuery query(m.captured(3));
    if (query.hasQueryItem(QStringLiteral("host")))
        hosts = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (query.hasQueryItem(QStringLiteral("dbname")))
        database = query.queryItemValue(QStringLiteral("dbname"), QUrl::FullyDecoded);
    if (hosts.isEmpty()) hosts = QStringLiteral("localhost");
    return database.isEmpty() ? hosts : hosts + QLatin1Char('/') + database;
}

QString CardBaseStatusText(const QString& location, const QString& state) {
    if (!IsCardBaseUri(location)) return kFileBaseStatus.arg(CardBaseShownName(location));
    return kSharedBaseStatus.arg(CardBaseShownName(location), state);
}

} // namespace k8w
