// Start-up of the main window (constructed, whole base loaded, grid filled,
// card 0 shown) on a 9000-card base shared on a local PostgreSQL server,
// against the same base as the database file, both in each round, with the
// ratio of the two.
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

std::unique_ptr<CardTable> fullTable() {
    auto table = CardTable::create();
    for (int i = 0; i < kCardCapacity; ++i) {
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

// One server holding the full base, and the same base as the file
// of a folder that is current while the benchmark runs.
class Bases {
public:
    Bases() : previous_(QDir::currentPath()) {
        QDir::setCurrent(dir_.path());
        const auto table = fullTable();
        if (!WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty()) std::abort();
        uri_ = server_.uri(server_.createDatabase());
        QString error;
        if (!InitPgCardBase(uri_).isEmpty()) std::abort();
        auto store = OpenCardStore(uri_, CardFileAccess::PerChange, &error);
        if (!store || !store->replaceAll(*table).ok()) std::abort();
    }
    ~Bases() { QDir::setCurrent(previous_); }
    const QString& uri() const { return uri_; }

private:
    QString previous_;
    QTemporaryDir dir_;
    test::PgTestServer server_;  // start-up only reads: syncs do not matter
    QString uri_;
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
