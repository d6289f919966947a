#pragma once
#include "keys/key_code.h"
#include "keys/key_reader.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace k8w {

class Clock;
namespace keys {
class OneWirePort;
}

// The worker of the key reader dialog: one run of the reader per object.
// Progress goes to the dialog as queued signals; the completion step runs on
// the thread that created the worker while the worker waits for it. The
// outcome is the worker's own, so one left behind by a Cancel, still inside
// a driver call, cannot touch a later run's.
class TKeyThread final : public QThread {
    Q_OBJECT
public:
    // `portInUse` is held while the worker uses the port: a later worker
    // reaches the reader only once an earlier one is done with it.
    TKeyThread(keys::OneWirePort& port, Clock& clock, std::mutex& portInUse, QObject* parent = nullptr);
    ~TKeyThread() override;

    // Asks the worker to stop: it does not reach the reader if it has not
    // yet, and its completion step is dropped.
    void Terminate();
    // Waits until the worker has ended.
    void Join();

    // The outcome, for the completion step (or after Join): the reader flags
    // and, once a key was read, its code.
    const keys::KeyReaderFlags& flags() const { return flags_; }
    const keys::KeyCode& keyCode() const { return keyCode_; }

signals:
    void progressChanged(int hits);
    void completed();

protected:
    void run() override { Execute(); }

private:
    void Execute();
    // Runs completed() on the creating thread and waits for it to finish.
    void Synchronize();

    keys::OneWirePort& port_;
    Clock& clock_;
    std::mutex& portInUse_;
    keys::KeyReaderFlags flags_;
    keys::KeyCode keyCode_{};
    std::atomic<bool> terminated_{false};
    std::mutex mutex_;
    std::condition_variable stepDone_;
    bool stepFinished_ = false;
};

} // namespace k8w
