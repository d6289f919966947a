// Cards in and out on a full base: JSON export of 9000 cards, an import of
// 8000 cards with every check of the window (8000 is the number of distinct
// device codes the code ranges allow), and one backup of the full file.
#include "generated_cards.h"

#include "store/card_backup.h"
#include "store/card_file.h"
#include "cards/card_json.h"
#include "cards/row_list.h"
#include "editor/card_import.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace k8w;

const std::vector<int>& everyRow() {
    static const std::vector<int> rows = *ParseRowList(QStringLiteral("all"), nullptr);
    return rows;
}

void BM_ExportFullBaseJson(benchmark::State& state) {
    const auto table = test::GeneratedCards(kCardCapacity);
    for (auto _ : state) {
        QByteArray json = ExportCardsJson(*table, everyRow());
        benchmark::DoNotOptimize(json);
    }
}
BENCHMARK(BM_ExportFullBaseJson)->Unit(benchmark::kMillisecond);

void BM_Import8000CardsWithChecks(benchmark::State& state) {
    const QByteArray json = ExportCardsJson(*test::GeneratedCards(8000), everyRow());
    for (auto _ : state) {
        state.PauseTiming();
        auto table = CardTable::create();
        state.ResumeTiming();
        const CardImportResult result = ImportCards(json, *table, true, 47000);
        if (!result.failures.isEmpty()) state.SkipWithError("the import was refused");
    }
}
BENCHMARK(BM_Import8000CardsWithChecks)->Unit(benchmark::kMillisecond);

void BM_BackupFullBase(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(kCardFileName);
    const auto table = test::GeneratedCards(kCardCapacity);
    WriteCardFile(path, table->cards.data(), kCardCapacity, table->cardTemplate);
    for (auto _ : state) {
        const QString error = BackupCardFile(path, BackupWhen::Always);
        if (!error.isEmpty()) state.SkipWithError("the backup failed");
    }
}
BENCHMARK(BM_BackupFullBase)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
