#include "app/cli/cli_options.h"

#include "app/cli/cli_commands.h"
#include "cards/card_base.h"
#include "cards/card_file.h"
#include "cards/card_table.h"

#include <cstdio>

namespace k8w::cli {

Options::Options(const QStringList& args, const QStringList& valued, const QStringList& flags) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (flags.contains(arg)) {
            values_.insert(arg, QString());
        } else if (valued.contains(arg)) {
            if (i + 1 >= args.size()) {
                error_ = QStringLiteral("%1 needs a value").arg(arg);
                return;
            }
            values_.insert(arg, args[++i]);
        } else {
            error_ = QStringLiteral("unknown argument: %1").arg(arg);
            return;
        }
    }
}

void printError(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

QString fieldForLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        default:
            if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

void printLine(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

std::unique_ptr<CardTable> loadDatabase(const QString& fileName) {
    auto table = CardTable::create();
    CardLoadOutcome outcome = CardLoadOutcome::Missing;
    if (LoadCardFile(fileName, table->cards.data(), kCardCapacity, table->cardTemplate, &outcome))
        return table;
    printError(CardLoadFailureText(outcome, fileName));
    return nullptr;
}

bool databaseReadyForWriting(const QString& fileName) {
    CardBaseLock lock(fileName);
    CardBaseLock::Result state = lock.acquire(0);
    // Another command rewrites the file for a moment; the window keeps it.
    if (state == CardBaseLock::Result::HeldByOther && !lock.heldByWindow()) state = lock.acquire(kLockWaitMs);
    switch (state) {
    case CardBaseLock::Result::Held:
        break;
    case CardBaseLock::Result::HeldByOther:
        printError(QStringLiteral("the database is open in %1; close it first (nothing was sent or written): %2")
                       .arg(lock.holderText(), fileName));
        return false;
    case CardBaseLock::Result::NoAccess:
    case CardBaseLock::Result::Failed:
        printError(QStringLiteral("cannot lock the database (cannot create %1); nothing was sent or written")
                       .arg(lock.lockFilePath()));
        return false;
    }
    lock.release();
    if (const QString problem = CheckCardFileWritable(fileName); !problem.isEmpty()) {
        printError(QStringLiteral("the database could not be rewritten, so nothing was sent: %1").arg(problem));
        return false;
    }
    return true;
}

int reportUpdate(const CardUpdateResult& result, int saveFailedStatus) {
    if (result.status == CardUpdateStatus::Saved) return kExitOk;
    printError(result.reason);
    return result.status == CardUpdateStatus::SaveFailed ? saveFailedStatus : kExitBadInput;
}

int cardSlotOfRow(const Options& options, const CardTable& table, const QString& freeRowText) {
    if (!options.has(QStringLiteral("--row"))) {
        printError(QStringLiteral("--row N is required"));
        return -1;
    }
    bool isNumber = false;
    const int row = options.value(QStringLiteral("--row")).toInt(&isNumber);
    if (!isNumber || row < 1 || row > kCardCapacity) {
        printError(QStringLiteral("row must be a number from 1 to %1").arg(kCardCapacity));
        return -1;
    }
    if (!isCardInUse(table.cards[row - 1])) {
        printError(freeRowText);
        return -1;
    }
    return row - 1;
}

} // namespace k8w::cli
