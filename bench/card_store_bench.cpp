// A shared card base on a local PostgreSQL server against the database file:
// loading all 9000 cards, saving one card, and eight writers at once.
#include "store/card_file.h"
#include "store/card_store.h"
#include "cards/card_table.h"
#include "store/pg_card_store.h"
#include "common/cp1251.h"
#include "support/pg_test_server.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

using namespace k8w;

std::unique_ptr<CardTable> fullTable() {
    auto table = CardTable::create();
    for (int i = 0; i < kCardCapacity; ++i) {
        Card& card = table->cards[static_cast<std::size_t>(i)];
        card.codeUoo = static_cast<std::uint32_t>(i + 1);
        setFieldText(card.objectName, QStringLiteral("Объект номер %1").arg(i));
        setFieldText(card.cardNumber, QString::number(i));
        card.changeDate = 46000 + i;
    }
    return table;
}

// One durable server and one full base on it, and the same base as a file.
struct Bases {
    test::PgTestServer server{true};
    QString uri;
    QTemporaryDir dir;
    QString file = dir.filePath(kCardFileName);
    Bases() {
        const auto table = fullTable();
        SaveCardTable(*table, file);
        uri = server.uri(server.createDatabase());
        QString error;
        if (!InitPgCardBase(uri).isEmpty()) throw std::runtime_error("base-init failed");
        auto store = OpenCardStore(uri, CardFileAccess::PerChange, &error);
        if (!store || !store->replaceAll(*table).ok()) throw std::runtime_error("copy failed");
    }
};

Bases& bases() {
    static Bases instance;
    return instance;
}

void loadAll(benchmark::State& state, const QString& location) {
    QString error;
    auto store = OpenCardStore(location, CardFileAccess::Held, &error);
    auto table = CardTable::create();
    std::vector<CardRevision> revisions;
    for (auto _ : state) {
        if (!store->loadAll(*table, revisions).ok()) state.SkipWithError("load failed");
        const std::uint32_t last = table->cards[8999].codeUoo;
        benchmark::DoNotOptimize(last);
    }
}

void BM_LoadFile(benchmark::State& state) { loadAll(state, bases().file); }
void BM_LoadShared(benchmark::State& state) { loadAll(state, bases().uri); }
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadShared)->Unit(benchmark::kMillisecond);

void saveOne(benchmark::State& state, const QString& location) {
    QString error;
    auto store = OpenCardStore(location, CardFileAccess::Held, &error);
    auto table = CardTable::create();
    std::vector<CardRevision> revisions;
    store->loadAll(*table, revisions);
    Card card = table->cards[100];
    CardRevision seen = revisions[100];
    int n = 0;
    for (auto _ : state) {
        setFieldText(card.address, QStringLiteral("Адрес %1").arg(++n));
        const CardStoreResult saved = store->saveCard(100, card, seen);
        if (!saved.ok()) state.SkipWithError("save failed");
        seen = saved.current.revision;
    }
}

void BM_SaveOneFile(benchmark::State& state) { saveOne(state, bases().file); }
void BM_SaveOneShared(benchmark::State& state) { saveOne(state, bases().uri); }
BENCHMARK(BM_SaveOneFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveOneShared)->Unit(benchmark::kMillisecond)->UseRealTime();

// Eight writers, each with its own connection, changing key slots of one
// card (range 0) or of a card each (range 1); changes per second.
void BM_EightWriters(benchmark::State& state) {
    constexpr int kWriters = 8;
    constexpr int kChangesEach = 25;
    const bool sameCard = state.range(0) == 0;
    std::int64_t changes = 0;
    for (auto _ : state) {
        std::atomic<int> failed{0};
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w) {
            writers.emplace_back([&, w] {
                QString error;
                auto store = OpenCardStore(bases().uri, CardFileAccess::PerChange, &error);
                for (int i = 0; i < kChangesEach; ++i) {
                    const int slot = sameCard ? 200 : 200 + w;
                    const auto result = store->updateCard(
                        slot,
                        [&](Card& card) {
                            card.keys[w % 3][i % 6].state = 1;
                            card.keys[w % 3][i % 6].subscriber = static_cast<std::uint8_t>(i);
                            return QString();
                        },
                        QStringLiteral("key"));
                    if (!result.ok()) failed.fetch_add(1);
                }
            });
        }
        for (std::thread& t : writers) t.join();
        if (failed.load() != 0) state.SkipWithError("a change was not written");
        changes += kWriters * kChangesEach;
    }
    state.counters["changes/s"] = benchmark::Counter(static_cast<double>(changes), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EightWriters)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
