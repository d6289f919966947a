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
#include <cstring>

namespace {

using namespace k8w;

[[noreturn]] void die() {
    std::fflush(nullptr);
    std::raise(SIGKILL);
    std::abort();
}

// The simulated cables, killing the process at the chosen driver call.
class KillingCables final : public link::FtdiDriver {
public:
    KillingCables(link::FtdiDriver& inner, bool atOpen, int atWrite) : inner_(inner), atOpen_(atOpen), atWrite_(atWrite) {}
    link::FtStatus createDeviceInfoList(std::uint32_t* n) override { return inner_.createDeviceInfoList(n); }
    link::FtStatus getDeviceInfoList(link::FtDeviceInfo* l, std::uint32_t c, std::uint32_t* n) override {
        return inner_.getDeviceInfoList(l, c, n);
    }
    link::FtStatus openEx(const char* what, std::uint32_t how, link::FtHandle* h) override {
        if (atOpen_) die();
        return inner_.openEx(what, how, h);
    }
    link::FtStatus setBaudRate(link::FtHandle h, std::uint32_t b) override { return inner_.setBaudRate(h, b); }
    link::FtStatus setDataCharacteristics(link::FtHandle h, std::uint8_t w, std::uint8_t s, std::uint8_t p) override {
        return inner_.setDataCharacteristics(h, w, s, p);
    }
    link::FtStatus setFlowControl(link::FtHandle h, std::uint16_t f, std::uint8_t on, std::uint8_t off) override {
        return inner_.setFlowControl(h, f, on, off);
    }
    link::FtStatus setLatencyTimer(link::FtHandle h, std::uint8_t ms) override { return inner_.setLatencyTimer(h, ms); }
    link::FtStatus setTimeouts(link::FtHandle h, std::uint32_t r, std::uint32_t w) override {
        return inner_.setTimeouts(h, r, w);
    }
    link::FtStatus getStatus(link::FtHandle h, std::uint32_t* rx, std::uint32_t* tx, std::uint32_t* ev) override {
        return inner_.getStatus(h, rx, tx, ev);
    }
    link::FtStatus read(link::FtHandle h, void* b, std::uint32_t n, std::uint32_t* got) override {
        return inner_.read(h, b, n, got);
    }
    link::FtStatus write(link::FtHandle h, const void* b, std::uint32_t n, std::uint32_t* written) override {
        if (atWrite_ > 0 && ++writes_ == atWrite_) die();
        return inner_.write(h, b, n, written);
    }
    link::FtStatus close(link::FtHandle h) override { return inner_.close(h); }
    link::FtStatus waitForBytes(link::FtHandle h, std::uint32_t ms, std::uint32_t* rx) override {
        return inner_.waitForBytes(h, ms, rx);
    }
    link::FtStatus interruptWait(link::FtHandle h) override { return inner_.interruptWait(h); }

private:
    link::FtdiDriver& inner_;
    bool atOpen_;
    int atWrite_;
    int writes_ = 0;  // the worker thread's only
};

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
    KillingCables cables(sim, step == "opened", step == "sending" ? 3 : 0);
    if (step == "programmed") device.setImageStoredListener([](const std::vector<std::uint8_t>&) { die(); });

    std::unique_ptr<CardStore> store = OpenCardBaseCopy(uri, nullptr, CardFileAccess::Held);
    if (!store) return 3;
    TForm1 window(std::move(store), AppHardware{&cables, &clock});
    window.show();
    auto* grid = window.findChild<QTableView*>(QStringLiteral("SetsGrid"));
    grid->setCurrentIndex(grid->model()->index(row - 1, 1));
    window.findChild<QPushButton*>(QStringLiteral("ProgBtn"))->click();
    // Every step kills the process before the exchange ends; one that does not is a failure.
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(4); });
    return app.exec();
}
