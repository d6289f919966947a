// Database and image figures: load and save of a full 9000-card file, and
// the build of one device image.
#include "store/card_file.h"
#include "cards/card_table.h"
#include "cards/config_image.h"
#include "common/cp1251.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

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

// Plain reads of the whole file with read(): into a buffer of the file's
// size (`chunk` 0, what a load must do at the least), or through one small
// buffer used again and again (what `cat` does). True when all of it came.
bool plainRead(const QByteArray& path, std::vector<char>& into, std::size_t chunk) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::size_t done = 0;
    for (;;) {
        const std::size_t at = chunk ? 0 : done;
        const ssize_t got = ::read(fd, into.data() + at, chunk ? chunk : into.size() - done);
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return done == 9001 * kCardSize;
}

// Load and the plain reads of the same file taken in turn in each iteration;
// the time is the load's, with the plain reads' beside it and the ratios.
void BM_LoadAgainstPlainRead(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    constexpr std::size_t kChunk = 64 * 1024;
    FullDatabase db;
    const QByteArray path = QFile::encodeName(db.path);
    auto into = CardTable::create();
    std::vector<char> whole(9001 * kCardSize);
    std::vector<char> chunk(kChunk);
    Clock::duration loading{}, reading{}, streaming{};
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!plainRead(path, whole, 0)) state.SkipWithError("plain read failed");
        const auto read = Clock::now();
        if (!plainRead(path, chunk, kChunk)) state.SkipWithError("streaming read failed");
        const auto streamed = Clock::now();
        if (!LoadCardFile(db.path, into->cards.data(), kCardCapacity, into->cardTemplate))
            state.SkipWithError("load failed");
        const auto loaded = Clock::now();
        reading += read - start;
        streaming += streamed - read;
        loading += loaded - streamed;
        state.SetIterationTime(std::chrono::duration<double>(loaded - streamed).count());
    }
    const double n = static_cast<double>(state.iterations());
    const auto ms = [n](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count() / n; };
    state.counters["load_ms"] = ms(loading);
    state.counters["read_ms"] = ms(reading);
    state.counters["stream_ms"] = ms(streaming);
    state.counters["load/read"] = ms(loading) / ms(reading);
    state.counters["load/stream"] = ms(loading) / ms(streaming);
}
BENCHMARK(BM_LoadAgainstPlainRead)->UseManualTime()->Unit(benchmark::kMillisecond);

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
