#include "link/link_workers.h"

#include "link/completion_gate.h"
#include "link/exchange_outcome.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace k8w::link {
namespace {

std::mutex orphansMutex;
std::vector<LinkWorker*> orphans;  // main thread adds; finished() removes

} // namespace

LinkWorker::LinkWorker(const std::string& cableSerial, FtdiDriver& driver, Clock& clock, QObject* context,
                       CompletionStep step)
    : cableSerial_(cableSerial), driver_(driver), clock_(clock), step_(std::move(step)),
      gate_(std::make_shared<CompletionGate>(context)) {}

LinkWorker::~LinkWorker() = default;

void LinkWorker::Abandon() {
    gate_->cancel();
    Stop();
}

void LinkWorker::run() {
    Execute();
    std::lock_guard lock(linkMutex_);
    link_.reset();
}

void LinkWorker::StopLink() {
    std::lock_guard lock(linkMutex_);
    stopped_ = true;
    if (link_) link_->Stop();
}

int LinkWorker::OpenAndStart(FTDI_Controller& link, const std::uint8_t* data, int length, Exchange exchange) {
    link.SetCableSerial(cableSerial_);
    const int opened = link.Open(data, length);
    if (opened != kOpenOk) {
        outcome_.exchangeFailed = true;
        outcome_.failureReason = OpenFailureReason(opened);
        return kLinkCableFailure;
    }
    const int result = link.Start();
    if (result != kLinkDone && result != kLinkStopped) {
        outcome_.exchangeFailed = true;
        outcome_.failureReason = StartFailureReason(exchange, result);
    }
    return result;
}

void LinkWorker::Finish() {
    gate_->runAndWait([this] { step_(outcome_); });
}

TProgThread::TProgThread(const Card& card, const std::string& cableSerial, FtdiDriver& driver, Clock& clock,
                         QObject* context, CompletionStep step)
    : LinkWorker(cableSerial, driver, clock, context, std::move(step)), card_(card) {
    setObjectName(QStringLiteral("TProgThread"));
}

void TProgThread::Execute() {
    FTDI_Controller& link = MakeLink<FTDI_Controller>();
    outcome_ = {};
    ConfigImage image{};
    const int length = BuildConfigImage(card_, image, outcome_.imageCheckValue);
    if (OpenAndStart(link, image.data(), length, Exchange::Write) == kLinkDone)
        outcome_.exchangeSucceeded = true;
    Finish();
}

TReadThread::TReadThread(const std::string& cableSerial, FtdiDriver& driver, Clock& clock, QObject* context,
                         CompletionStep step)
    : LinkWorker(cableSerial, driver, clock, context, std::move(step)) {
    setObjectName(QStringLiteral("TReadThread"));
}

void TReadThread::Execute() {
    FTDI_ReadCtrl& link = MakeLink<FTDI_ReadCtrl>();
    outcome_ = {};
    if (OpenAndStart(link, nullptr, 0, Exchange::Read) == kLinkDone) {
        if (!IsValidReadImage(link.Data(), link.DataLength())) {
            outcome_.exchangeFailed = true;
            outcome_.failureReason = kBadImageText;
        } else {
            std::memcpy(outcome_.readImage.data(), link.Data(), kImageSize);
            outcome_.readVersion = link.VersionText();
            outcome_.exchangeSucceeded = true;
        }
    }
    Finish();
}

void AdoptLinkWorker(LinkWorker* worker) {
    {
        std::lock_guard lock(orphansMutex);
        orphans.push_back(worker);
    }
    QObject::connect(worker, &QThread::finished, worker, [worker] {
        std::lock_guard lock(orphansMutex);
        orphans.erase(std::remove(orphans.begin(), orphans.end(), worker), orphans.end());
    }, Qt::DirectConnection);
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
}

bool WaitForLinkWorkers(int waitMs) {
    QDeadlineTimer deadline(waitMs);
    for (;;) {
        LinkWorker* next = nullptr;
        {
            std::lock_guard lock(orphansMutex);
            if (orphans.empty()) return true;
            next = orphans.front();
        }
        if (!next->wait(deadline)) return false;
        std::lock_guard lock(orphansMutex);
        orphans.erase(std::remove(orphans.begin(), orphans.end(), next), orphans.end());
    }
}

} // namespace k8w::link
