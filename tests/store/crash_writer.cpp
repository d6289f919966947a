// Rewrites a card database with the content of another database file, as
// every save does; the crash-safety test kills it at random moments.
#include "store/card_file.h"
#include "cards/card_table.h"

#include <QString>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    auto table = k8w::CardTable::create();
    if (!k8w::LoadCardFile(QString::fromLocal8Bit(argv[2]), table->cards.data(), k8w::kCardCapacity,
                           table->cardTemplate))
        return 2;
    return k8w::WriteCardFile(QString::fromLocal8Bit(argv[1]), table->cards.data(), k8w::kCardCapacity,
                              table->cardTemplate)
                   .isEmpty()
               ? 0
               : 1;
}
