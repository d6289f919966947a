#include "store/base_copy.h"

#include "cards/card_table.h"
#include "store/card_file.h"

#include <libpq-fe.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstring>

namespace k8w {
namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString revisionsPath(const QString& path) { return path + QStringLiteral(".rev"); }

// The value of one connection parameter of a URI, as libpq reads it.
QString uriParameter(const QString& uri, const char* keyword) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &error);
    PQfreemem(error);
    QString value;
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (std::strcmp(o->keyword, keyword) == 0 && o->val) value = QString::fromUtf8(o->val);
    PQconninfoFree(options);
    return value;
}

QString safeName(QString text) {
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9._-]"));
    return text.replace(other, QStringLiteral("_"));
}

} // namespace

QString BaseCopyPath(const QString& folder, const QString& uri) {
    QString host = uriParameter(uri, "host");
    if (host.isEmpty()) host = QStringLiteral("localhost");
    QString database = uriParameter(uri, "dbname");
    if (database.isEmpty()) database = uriParameter(uri, "user");
    host.replace(QLatin1Char(','), QLatin1Char('+'));
    return QDir(folder).filePath(QStringLiteral("k8w-copy-%1-%2.K8W").arg(safeName(host), safeName(database)));
}

QString SaveBaseCopy(const QString& path, const CardTable& table, const std::vector<CardRevision>& revisions) {
    // A new copy is made readable by its user alone before any card is in it:
    // the cards hold SIM PINs. A rewrite keeps the file's rights.
    if (!QFileInfo::exists(path)) {
        QFile empty(path);
        if (!empty.open(QIODevice::WriteOnly) || !empty.setPermissions(kOwnerOnly))
            return QStringLiteral("cannot create %1: %2").arg(path, empty.errorString());
    }
    if (const QString error = WriteCardFile(path, table.cards.data(), kCardCapacity, table.cardTemplate);
        !error.isEmpty())
        return error;
    QSaveFile out(revisionsPath(path));
    if (!out.open(QIODevice::WriteOnly)) return out.errorString();
    out.setPermissions(kOwnerOnly);
    QDataStream stream(&out);
    stream << static_cast<quint32>(revisions.size());
    for (const CardRevision r : revisions) stream << static_cast<qint64>(r);
    if (!out.commit()) return QStringLiteral("cannot write %1: %2").arg(out.fileName(), out.errorString());
    return {};
}

QString LoadBaseCopy(const QString& path, CardTable& table, std::vector<CardRevision>& revisions,
                     QDateTime* renewedAt) {
    table.clear();
    CardLoadOutcome outcome = CardLoadOutcome::Missing;
    if (!LoadCardFile(path, table.cards.data(), kCardCapacity, table.cardTemplate, &outcome))
        return CardLoadFailureText(outcome, path);
    revisions.assign(kCardCapacity, 0);
    QFile in(revisionsPath(path));
    if (in.open(QIODevice::ReadOnly)) {
        QDataStream stream(&in);
        quint32 count = 0;
        stream >> count;
        for (quint32 i = 0; i < count && i < static_cast<quint32>(kCardCapacity); ++i) {
            qint64 r = 0;
            stream >> r;
            revisions[i] = r;
        }
    }
    if (renewedAt) *renewedAt = QFileInfo(path).lastModified();
    return {};
}

} // namespace k8w
