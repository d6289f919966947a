// Main window benchmarks with a full database of 9000 cards: start-up of the
// window (file loaded, grid filled, card 0 shown), one search step over all
// rows, and one save of a card.
#include "app/tform1.h"
#include "store/card_file.h"
#include "common/cp1251.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using namespace k8w;

// A directory holding a full database; current while a benchmark runs.
class FullDatabase {
public:
    FullDatabase() : previous_(QDir::currentPath()) {
        QDir::setCurrent(dir_.path());
        auto table = CardTable::create();
        for (int i = 0; i < kCardCapacity; ++i) {
            Card& c = table->cards[static_cast<std::size_t>(i)];
            c.codeUoo = i == 5 ? 5u : 100000u + static_cast<std::uint32_t>(i);
            setFieldText(c.cardNumber, QStringLiteral("К-%1").arg(i));
            setFieldText(c.objectName, QStringLiteral("Объект номер %1, улица Длинная").arg(i));
            setFieldText(c.pin1, QStringLiteral("1234"));
            setFieldText(c.pin2, QStringLiteral("4321"));
            setFieldText(c.ip1Gsm, QStringLiteral("10.0.0.1"));
            setFieldText(c.ip2Gsm, QStringLiteral("10.0.0.2"));
            setFieldText(c.port1Gsm, QStringLiteral("5000"));
            setFieldText(c.port2Gsm, QStringLiteral("5001"));
            setFieldText(c.apn1, QStringLiteral("internet"));
            setFieldText(c.apn2, QStringLiteral("internet"));
            setFieldText(c.portParams, QStringLiteral("25002"));
            setFieldText(c.portUpdate, QStringLiteral("25001"));
            setFieldText(c.ipUpdate, QStringLiteral("update.k8w.local"));
            setFieldText(c.simId1, QStringLiteral("sim%1").arg(i));
            setFieldText(c.number1, QStringLiteral("8900%1").arg(i, 7, 10, QLatin1Char('0')));
            c.changeDate = 45000.5 + i / 10000.0;
            c.progDate = i % 2 ? 45001.25 : 0.0;
        }
        setFieldText(table->cards[0].simId2, QStringLiteral("needle"));
        setFieldText(table->cards[8999].simId2, QStringLiteral("needle"));
        if (!WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty())
            std::abort();
    }
    ~FullDatabase() { QDir::setCurrent(previous_); }

private:
    QString previous_;
    QTemporaryDir dir_;
};

void BM_MainWindowStartup(benchmark::State& state) {
    FullDatabase db;
    for (auto _ : state) {
        TForm1 window;
        benchmark::DoNotOptimize(window.currentCardIndex());
    }
}
BENCHMARK(BM_MainWindowStartup)->Unit(benchmark::kMillisecond);

// Texts found only in SIM texts, so that each step goes through every grid
// row and then every card: "needle" is in two SIM identifiers (rows 1 and
// 9000); the SIM phone number of row 9000 begins with a digit that every
// card's phone number holds, so no card is passed over at its first byte.
void BM_SearchNextStep(benchmark::State& state) {
    FullDatabase db;
    TForm1 window;
    auto* search = window.findChild<QLineEdit*>(QStringLiteral("SearchEdit"));
    search->blockSignals(true);
    search->setText(state.range(0) == 0 ? QStringLiteral("needle") : QStringLiteral("89000008999"));
    search->blockSignals(false);
    for (auto _ : state) {
        window.SearchNext();
        benchmark::DoNotOptimize(window.searchRowValue());
    }
}
BENCHMARK(BM_SearchNextStep)->ArgName("phone")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SaveCard(benchmark::State& state) {
    FullDatabase db;
    TForm1 window;
    // Typing "К-5" selects row 6, card 5.
    window.findChild<QLineEdit*>(QStringLiteral("SearchEdit"))->setText(QStringLiteral("К-5"));
    if (window.currentCardIndex() != 5) std::abort();
    for (auto _ : state) {
        state.PauseTiming();
        window.BitBtn1Click();  // editing again
        state.ResumeTiming();
        window.ValidateAndSave();  // twelve checks, TakeCard, whole file rewritten
        if (window.isEditMode()) std::abort();
    }
}
BENCHMARK(BM_SaveCard)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
