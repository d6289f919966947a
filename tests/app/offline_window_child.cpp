// A window started on this computer's copy of a shared base (its server
// cannot be reached) that programs one card on a simulated device and is
// killed (SIGKILL) at the step named:
//   opened      the cable opened, nothing sent yet
//   sending     a few frames sent, the device not written yet
//   programmed  the device holds the image, its result not recorded yet
//   recorded    the result recorded, the window's "done" box up
// Usage, in the data folder: offline_window_child URI ROW STEP
#include "app/tform1.h"
#include "app/window_card_base.h"
#include "common/message_box.h"
#include "common/virtual_clock.h"
#include "link/exchange_outcome.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"
#include "store/card_store.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <string>

namespace {

using namespace k8w;

[[noreturn]] void die() {
    std::fflush(nullptr);
    std::raise(SIGKILL);
    std::abort();
}

// Any question is answered No; the "done" box kills the process when asked to.
class Boxes final : public MessageBoxes {
public:
    explicit Boxes(bool killAtDone) : killAtDone_(killAtDone) {}
    MsgAnswer show(const MessageRequest& request) override {
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
        if (killAtDone_ && request.text == link::kProgDoneText) die();
        return request.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }

private:
    bool killAtDone_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) return 2;
    const QString uri = QString::fromLocal8Bit(argv[1]);
    const int row = std::atoi(argv[2]);
    const std::string step = argv[3];
    Boxes boxes(step == "recorded");
    setMessageBoxes(&boxes);

    VirtualClock clock;
    sim::SimDevice device;
    sim::SimFtdiDriver sim(clock);
    sim.plug("FT4K8W01", &device);
    using Op = sim::SimFtdiDriver::Op;
    sim.setCallListener([&step](Op op, int made) {
        if ((step == "opened" && op == Op::Open) || (step == "sending" && op == Op::Write && made == 3)) die();
    });
    if (step == "programmed") device.setImageStoredListener([](const std::vector<std::uint8_t>&) { die(); });

    std::unique_ptr<CardStore> store = OpenCardBaseCopy(uri, nullptr, CardFileAccess::Held);
    if (!store) return 3;
    TForm1 window(std::move(store), AppHardware{&sim, &clock});
    window.show();
    auto* grid = window.findChild<QTableView*>(QStringLiteral("SetsGrid"));
    grid->setCurrentIndex(grid->model()->index(row - 1, 1));
    window.findChild<QPushButton*>(QStringLiteral("ProgBtn"))->click();
    // Every step kills the process before the exchange ends; one that does not is a failure.
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(4); });
    return app.exec();
}
