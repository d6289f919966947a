#pragma once
// The workers of the device buttons: one thread per write or read attempt,
// owning one link object, reporting back through a completion step that
// runs on the main window's thread while the worker waits.
#include "cards/card.h"
#include "cards/config_image.h"
#include "common/clock.h"
#include "link/exchange_outcome.h"
#include "link/ftdi_controller.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace k8w::link {

class CompletionGate;

// What a worker leaves for its completion step: written by the worker
// before the step is run, read by the step on the main thread.
struct ExchangeOutcome {
    bool exchangeFailed = false;
    bool exchangeSucceeded = false;
    QString failureReason;
    std::uint16_t imageCheckValue = 0;  // programming: checksum of the image written
    ConfigImage readImage{};            // reading: the image read
    QString readVersion;
};

class LinkWorker : public QThread {
    Q_OBJECT
public:
    using CompletionStep = std::function<void(const ExchangeOutcome&)>;

    ~LinkWorker() override;
    // Main thread: the button's "Остановить". Ends the exchange with result 2.
    void Stop() { StopLink(); }
    // Main thread, when the window goes away: the completion step will not
    // run (or stop being waited for), and the exchange is stopped.
    void Abandon();

protected:
    // The cable to open (empty: the first listed), its driver and the clock.
    LinkWorker(const std::string& cableSerial, FtdiDriver& driver, Clock& clock, QObject* context,
               CompletionStep step);
    void run() final;
    virtual void Execute() = 0;
    // Runs the completion step on the context's thread and waits for it.
    void Finish();
    // Opens the cable and runs the exchange, noting a failure of either with
    // its reason in the outcome; the Start result (a failed opening counts
    // as a cable failure).
    int OpenAndStart(FTDI_Controller& link, const std::uint8_t* data, int length, Exchange exchange);
    // The link object of the attempt; let go (cable and log closed) before
    // the thread ends, so a later attempt finds them free.
    template <typename Link> Link& MakeLink() {
        auto link = std::make_unique<Link>(driver_, clock_);
        Link& made = *link;
        std::lock_guard lock(linkMutex_);
        if (stopped_) made.Stop();  // a stop that came before the link existed
        link_ = std::move(link);
        return made;
    }
    void StopLink();

    ExchangeOutcome outcome_;

private:
    const std::string cableSerial_;
    FtdiDriver& driver_;
    Clock& clock_;
    std::mutex linkMutex_;  // Stop comes from the main thread
    std::unique_ptr<FTDI_Controller> link_;
    bool stopped_ = false;
    CompletionStep step_;
    std::shared_ptr<CompletionGate> gate_;
};

// One write attempt: builds the image of the card it was given, opens the
// cable and runs the write exchange.
class TProgThread final : public LinkWorker {
    Q_OBJECT
public:
    TProgThread(const Card& card, const std::string& cableSerial, FtdiDriver& driver, Clock& clock,
                QObject* context, CompletionStep step);

protected:
    void Execute() override;

private:
    Card card_;  // a copy taken on the main thread when the attempt starts
};

// One read attempt: opens the cable and runs the read exchange; the image
// is accepted only when its checksum holds and it has 585 bytes.
class TReadThread final : public LinkWorker {
    Q_OBJECT
public:
    TReadThread(const std::string& cableSerial, FtdiDriver& driver, Clock& clock, QObject* context,
                CompletionStep step);

protected:
    void Execute() override;
};

// Workers still running when their window went away are kept here until
// they end. The program waits for them before it lets go of the cables and
// the clock they use; false when some are still running after waitMs.
bool WaitForLinkWorkers(int waitMs);
// Takes over a worker that outlived its window's wait: it deletes itself
// when it ends.
void AdoptLinkWorker(LinkWorker* worker);

} // namespace k8w::link
