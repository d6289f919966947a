#include "app/cli/cli_options.h"

#include "cards/card_file.h"
#include "cards/card_table.h"

#include <QFileInfo>

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

void printLine(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

std::unique_ptr<CardTable> loadDatabase(const QString& fileName) {
    auto table = CardTable::create();
    CardLoadOutcome outcome = CardLoadOutcome::Missing;
    if (LoadCardFile(fileName, table->cards.data(), kCardCapacity, table->cardTemplate, &outcome))
        return table;
    switch (outcome) {
    case CardLoadOutcome::Missing:
        printError(QStringLiteral("database not found: %1").arg(fileName));
        break;
    case CardLoadOutcome::Rejected:
        printError(QStringLiteral("not a card database (size %1 is not a positive multiple of %2 bytes): %3")
                       .arg(QFileInfo(fileName).size())
                       .arg(kCardSize)
                       .arg(fileName));
        break;
    default:
        printError(QStringLiteral("database could not be read completely: %1").arg(fileName));
        break;
    }
    return nullptr;
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
