// Database and image figures: load and save of a full 9000-card file, and
// the build of one device image.
#include "cards/card_file.h"
#include "cards/card_table.h"
#include "cards/config_image.h"
#include "common/cp1251.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace k8w;

std::unique_ptr<CardTable> fullTable() {
    auto table = CardTable::create();
    for (int i = 0; i < kCardCapacity; ++i) {
        Card& card = table->cards[i];
        card.codeUoo = static_cast<std::uint32_t>(i);
        setFieldText(card.objectName, QStringLiteral("Объект номер %1").arg(i));
        setFieldText(card.cardNumber, QString::number(i));
        card.changeDate = 46000 + i;
    }
    return table;
}

struct FullDatabase {
    QTemporaryDir dir;
    QString path = dir.filePath(kCardFileName);
    std::unique_ptr<CardTable> table = fullTable();
    FullDatabase() { SaveCardTable(*table, path); }
};

void BM_LoadFullDatabase(benchmark::State& state) {
    FullDatabase db;
    auto into = CardTable::create();
    for (auto _ : state) {
        bool ok = LoadCardFile(db.path, into->cards.data(), kCardCapacity, into->cardTemplate);
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(state.iterations() * 9001 * static_cast<int64_t>(kCardSize));
}
BENCHMARK(BM_LoadFullDatabase)->Unit(benchmark::kMillisecond);

void BM_SaveFullDatabase(benchmark::State& state) {
    FullDatabase db;
    for (auto _ : state) {
        bool ok = SaveCardTable(*db.table, db.path);
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(state.iterations() * 9001 * static_cast<int64_t>(kCardSize));
}
BENCHMARK(BM_SaveFullDatabase)->Unit(benchmark::kMillisecond);

void BM_BuildConfigImage(benchmark::State& state) {
    const auto table = fullTable();
    ConfigImage image{};
    std::uint16_t crc = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildConfigImage(table->cards[1234], image, crc));
        benchmark::DoNotOptimize(crc);
    }
}
BENCHMARK(BM_BuildConfigImage)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
