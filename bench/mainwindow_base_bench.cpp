// Start-up of the main window (constructed, whole base loaded, grid filled,
// card 0 shown) on a 9000-card base shared on a local PostgreSQL server,
// against the same base as the database file, both in each round, with the
// ratio of the two; and through a proxy that adds 25 ms each way, with every
// slot in use and with 300 cards in use, against their time budgets.
#include "latency_proxy.h"
#include "app/tform1.h"
#include "store/card_file.h"
#include "store/card_store.h"
#include "store/pg_card_store.h"
#include "common/cp1251.h"
#include "support/pg_test_server.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using namespace k8w;

std::unique_ptr<CardTable> fullTable(int inUse = kCardCapacity) {
    auto table = CardTable::create();
    for (int i = 0; i < inUse; ++i) {
        Card& c = table->cards[static_cast<std::size_t>(i)];
        c.codeUoo = 100000u + static_cast<std::uint32_t>(i);
        setFieldText(c.cardNumber, QStringLiteral("К-%1").arg(i));
        setFieldText(c.objectName, QStringLiteral("Объект номер %1, улица Длинная").arg(i));
        setFieldText(c.pin1, QStringLiteral("1234"));
        setFieldText(c.ip1Gsm, QStringLiteral("10.0.0.1"));
        setFieldText(c.apn1, QStringLiteral("internet"));
        setFieldText(c.simId1, QStringLiteral("sim%1").arg(i));
        c.changeDate = 45000.5 + i / 10000.0;
        c.progDate = i % 2 ? 45001.25 : 0.0;
    }
    return table;
}

constexpr int kFewCards = 300;

// One server holding the full base and a base with the first 300 cards in
// use, and the full base as the file of a folder that is current while the
// benchmark runs. The server listens on a loopback TCP port for the proxy.
class Bases {
public:
    Bases() : previous_(QDir::currentPath()) {
        QDir::setCurrent(dir_.path());
        const auto table = fullTable();
        if (!WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty()) std::abort();
        full_ = fill(*table);
        few_ = fill(*fullTable(kFewCards));
    }
    ~Bases() { QDir::setCurrent(previous_); }
    QString uri() const { return server_.uri(full_); }
    // The URI of base `db` through a proxy listening on `port` of 127.0.0.1.
    QString uriThrough(int port, bool full) const {
        return QStringLiteral("postgresql://k8w@/%1?host=127.0.0.1&port=%2").arg(full ? full_ : few_).arg(port);
    }
    int serverPort() const { return server_.port(); }

private:
    QString fill(const CardTable& table) {
        const QString db = server_.createDatabase();
        const QString uri = server_.uri(db);
        QString error;
        if (!InitPgCardBase(uri).isEmpty()) std::abort();
        auto store = OpenCardStore(uri, CardFileAccess::PerChange, &error);
        if (!store || !store->replaceAll(table).ok()) std::abort();
        return db;
    }

    QString previous_;
    QTemporaryDir dir_;
    test::PgTestServer server_{false, true};  // start-up only reads: syncs do not matter
    QString full_;
    QString few_;
};

// What start-up does on each kind of base, from opening the base to the window.
double fileStartupMs() {
    QElapsedTimer timer;
    timer.start();
    TForm1 window;
    benchmark::DoNotOptimize(window.currentCardIndex());
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double sharedStartupMs(const QString& uri) {
    QElapsedTimer timer;
    timer.start();
    QString error;
    auto store = OpenCardStore(uri, CardFileAccess::Held, &error);
    if (!store) std::abort();
    TForm1 window(std::move(store));
    benchmark::DoNotOptimize(window.currentCardIndex());
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void BM_WindowStartupSharedAgainstFile(benchmark::State& state) {
    Bases bases;
    double file = 0;
    double shared = 0;
    for (auto _ : state) {
        const double f = fileStartupMs();
        const double s = sharedStartupMs(bases.uri());
        file += f;
        shared += s;
        state.SetIterationTime(s / 1000.0);
    }
    const auto rounds = static_cast<double>(state.iterations());
    state.counters["file_ms"] = file / rounds;
    state.counters["shared_ms"] = shared / rounds;
    state.counters["shared/file"] = shared / file;
}
BENCHMARK(BM_WindowStartupSharedAgainstFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Start-up through a network with 25 ms each way (50 ms a round trip): the
// full base within 2 s, the base with 300 cards in use within 0.5 s. The
// ratios to those budgets are below 1 when start-up keeps within them.
void BM_WindowStartupThroughSlowNetwork(benchmark::State& state) {
    Bases bases;
    bench::LatencyProxy proxy(bases.serverPort(), std::chrono::milliseconds(25));
    double full = 0;
    double few = 0;
    for (auto _ : state) {
        const double f = sharedStartupMs(bases.uriThrough(proxy.port(), true));
        const double s = sharedStartupMs(bases.uriThrough(proxy.port(), false));
        full += f;
        few += s;
        state.SetIterationTime(f / 1000.0);
    }
    const auto rounds = static_cast<double>(state.iterations());
    state.counters["full_ms"] = full / rounds;
    state.counters["cards300_ms"] = few / rounds;
    state.counters["full/2s"] = full / rounds / 2000.0;
    state.counters["cards300/0.5s"] = few / rounds / 500.0;
}
BENCHMARK(BM_WindowStartupThroughSlowNetwork)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
