#include "store/card_store.h"

#include "store/file_card_store.h"
#include "store/pg_card_store.h"
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
    // password=... among the parameters
    static const QRegularExpression param(QStringLiteral("([?&])password=[^&]*(&?)"));
    shown.replace(param, QStringLiteral("\\1"));
    if (shown.endsWith(QLatin1Char('?')) || shown.endsWith(QLatin1Char('&'))) shown.chop(1);
    return shown;
}

std::unique_ptr<CardStore> OpenCardStore(const QString& location, CardFileAccess fileAccess, QString* error) {
    if (IsCardBaseUri(location)) {
        std::unique_ptr<CardStore> server = OpenPgCardStore(location, error);
        if (server && fileAccess == CardFileAccess::Held) return RunCardStoreOnWorker(std::move(server));
        return server;
    }
    return MakeFileCardStore(location, fileAccess);
}

} // namespace k8w
