#pragma once
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
// the thread that created the worker while the worker waits for it.
class TKeyThread final : public QThread {
    Q_OBJECT
public:
    // `keyCode` (6 bytes) gets the code of the key read; `flags` are the
    // dialog's reader flags, cleared before the worker is created.
    TKeyThread(keys::OneWirePort& port, Clock& clock, keys::KeyReaderFlags& flags, std::uint8_t* keyCode,
               QObject* parent = nullptr);
    ~TKeyThread() override;

    // Asks the worker to stop; a completion step it waits for is given up.
    void Terminate();
    // Waits until the worker has ended.
    void Join();

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
    keys::KeyReaderFlags& flags_;
    std::uint8_t* keyCode_;
    std::atomic<bool> terminated_{false};
    std::mutex mutex_;
    std::condition_variable stepDone_;
    bool stepFinished_ = false;
};

} // namespace k8w
