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

LinkWorker::LinkWorker(QObject* context, CompletionStep step)
    : step_(std::move(step)), gate_(std::make_shared<CompletionGate>(context)) {}

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

void LinkWorker::Finish() {
    gate_->runAndWait([this] { step_(outcome_); });
}

TProgThread::TProgThread(const Card& card, const std::string& cableSerial, FtdiDriver& driver, Clock& clock,
                         QObject* context, CompletionStep step)
    : LinkWorker(context, std::move(step)), card_(card), cableSerial_(cableSerial), driver_(driver), clock_(clock) {
    setObjectName(QStringLiteral("TProgThread"));
}

void TProgThread::Execute() {
    FTDI_Controller& link = MakeLink<FTDI_Controller>(driver_, clock_);
    outcome_.exchangeFailed = false;
    outcome_.exchangeSucceeded = false;
    ConfigImage image{};
    const int length = BuildConfigImage(card_, image, outcome_.imageCheckValue);
    link.SetCableSerial(cableSerial_);
    const int opened = link.Open(image.data(), length);
    if (opened != kOpenOk) {
        outcome_.exchangeFailed = true;
        outcome_.failureReason = OpenFailureReason(opened);
    } else {
        const int result = link.Start();
        if (result == kLinkDone) {
            outcome_.exchangeSucceeded = true;
        } else if (result != kLinkStopped) {
            outcome_.exchangeFailed = true;
            outcome_.failureReason = StartFailureReason(Exchange::Write, result);
        }
    }
    Finish();
}

TReadThread::TReadThread(const std::string& cableSerial, FtdiDriver& driver, Clock& clock, QObject* context,
                         CompletionStep step)
    : LinkWorker(context, std::move(step)), cableSerial_(cableSerial), driver_(driver), clock_(clock) {
    setObjectName(QStringLiteral("TReadThread"));
}

void TReadThread::Execute() {
    FTDI_ReadCtrl& link = MakeLink<FTDI_ReadCtrl>(driver_, clock_);
    outcome_.exchangeFailed = false;
    outcome_.exchangeSucceeded = false;
    outcome_.readImage.fill(0);
    link.SetCableSerial(cableSerial_);
    const int opened = link.Open(nullptr, 0);
    if (opened != kOpenOk) {
        outcome_.exchangeFailed = true;
        outcome_.failureReason = OpenFailureReason(opened);
    } else {
        const int result = link.Start();
        if (result == kLinkDone) {
            if (!IsValidReadImage(link.Data(), link.DataLength())) {
                outcome_.exchangeFailed = true;
                outcome_.failureReason = kBadImageText;
            } else {
                std::memcpy(outcome_.readImage.data(), link.Data(), kImageSize);
                outcome_.readVersion = link.VersionText();
                outcome_.exchangeSucceeded = true;
            }
        } else if (result != kLinkStopped) {
            outcome_.exchangeFailed = true;
            outcome_.failureReason = StartFailureReason(Exchange::Read, result);
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
