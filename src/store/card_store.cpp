#include "store/card_store.h"

#include "store/file_card_store.h"
#include "store/pg_card_store.h"
#include "store/base_copy.h"
#include "store/offline_card_store.h"

#include <QDir>
#include <QFileInfo>
#include "store/threaded_card_store.h"

#include "cards/programming_result.h"

#include <QRegularExpression>

namespace k8w {

CardStoreResult CardStore::recordProgramming(int slot, std::uint16_t imageChecksum, double programmedAt) {
    return updateCard(
        slot,
        [&](Card& card) {
            // A card deleted meanwhile has no result to keep.
            if (!isCardInUse(card)) return QStringLiteral("the card was deleted meanwhile");
            RecordProgramming(card, imageChecksum, programmedAt);
            return QString();
        },
        QStringLiteral("program"));
}

CardStoreResult CardStore::beginProgramming(int slot, ProgrammingAttempt& attempt) {
    attempt = {slot, {}, {}};
    return checkWritable();
}

CardStoreResult CardStore::endProgramming(ProgrammingAttempt& attempt, bool programmed, std::uint16_t imageChecksum,
                                          double programmedAt) {
    attempt.running.reset();
    if (!programmed) return {};
    return recordProgramming(attempt.slot, imageChecksum, programmedAt);
}

void CardStore::setChangeListener(std::function<void()>) {}
void CardStore::setWaitListener(std::function<void(bool)>) {}

bool IsCardBaseUri(const QString& location) {
    return location.startsWith(QStringLiteral("postgresql://")) || location.startsWith(QStringLiteral("postgres://"));
}

QString CardBaseUriForDisplay(const QString& uri) {
    QString shown = uri;
    // user:password@ before the hosts (of any scheme: a mistyped one is shown too)
    static const QRegularExpression userInfo(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*://[^:@/?]*):[^@/?]*@"));
    shown.replace(userInfo, QStringLiteral("\\1@"));
    // password=... and sslpassword=... among the parameters
    static const QRegularExpression param(QStringLiteral("([?&])(?:ssl)?password=[^&]*(&?)"));
    while (shown.contains(param)) shown.replace(param, QStringLiteral("\\1"));
    if (shown.endsWith(QLatin1Char('?')) || shown.endsWith(QLatin1Char('&'))) shown.chop(1);
    return shown;
}

std::unique_ptr<CardStore> OpenCardStore(const QString& location, CardFileAccess fileAccess, QString* error) {
    if (!IsCardBaseUri(location)) return MakeFileCardStore(location, fileAccess);
    std::unique_ptr<CardStore> server = OpenPgCardStore(location, error);
    if (!server) return nullptr;
    if (fileAccess == CardFileAccess::Held) server = RunCardStoreOnWorker(std::move(server));
    return MakeOfflineCardStore(std::move(server), location, BaseCopyPath(QDir::currentPath(), location));
}

QString InitSharedCardBase(const QString& uri, InitOutcome* outcome) {
    if (!IsCardBaseUri(uri)) return QStringLiteral("not a postgresql:// URI");
    return InitPgCardBase(uri, nullptr, outcome);
}

std::unique_ptr<CardStore> OpenCardBaseCopy(const QString& uri, QDateTime* renewedAt, CardFileAccess access) {
    const QString path = BaseCopyPath(QDir::currentPath(), uri);
    if (!IsCardBaseUri(uri) || !QFileInfo::exists(path)) return nullptr;
    if (renewedAt) *renewedAt = QFileInfo(path).lastModified();
    if (access != CardFileAccess::Held) return MakeOfflineCardStore(nullptr, uri, path);
    // The worker keeps trying the server; the first change it announces brings the store back to it.
    return MakeOfflineCardStore(RunCardStoreOnWorker(PgCardStoreConnectingLater(uri)), uri, path, true);
}

} // namespace k8w
