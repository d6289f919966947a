#pragma once
#include "control/ftdi_vexlar_ctrl.h"
#include "link/link_block.h"
#include "manual_clock.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace k8w::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// What one FetchReply gave.
struct Fetched {
    int result = 0;
    control::CtrlCommand reply;
    QString text;
};

inline Fetched fetchOne(control::FTDI_VexlarCtrl& link) {
    Fetched f;
    f.result = link.FetchReply(f.reply, f.text);
    return f;
}

// Everything the link has to hand over, up to "nothing".
inline std::vector<Fetched> fetchAll(control::FTDI_VexlarCtrl& link) {
    std::vector<Fetched> all;
    for (Fetched f = fetchOne(link); f.result != control::kFetchNothing; f = fetchOne(link))
        all.push_back(f);
    return all;
}

// A status payload as the device sends it.
inline Bytes statusPayload(std::uint8_t outputs, std::uint8_t flags, const std::array<std::uint16_t, 5>& loops) {
    Bytes payload{outputs, flags};
    for (std::uint16_t ohms : loops) {
        payload.push_back(static_cast<std::uint8_t>(ohms));
        payload.push_back(static_cast<std::uint8_t>(ohms >> 8));
    }
    return payload;
}

// Times of the writes whose packet carries command `code`.
inline std::vector<std::uint32_t> commandSendTimes(const sim::SimFtdiDriver& driver, std::uint8_t code) {
    const auto writes = driver.writes();
    const auto times = driver.writeTimesMs();
    std::vector<std::uint32_t> found;
    for (std::size_t i = 0; i < writes.size(); ++i)
        if (writes[i].size() >= 3 && writes[i][0] == control::kCommandStart && writes[i][1] == code)
            found.push_back(times[i]);
    return found;
}

inline int greetingsSent(const sim::SimFtdiDriver& driver) {
    int n = 0;
    for (const Bytes& w : driver.writes()) n += w == bytesOf("PROG_K8W_CTRL") ? 1 : 0;
    return n;
}

// The device answers the next status poll with `packets` instead, all at once.
inline void answerNextPollWith(sim::SimDevice& device, std::initializer_list<Bytes> packets) {
    Bytes all;
    for (const Bytes& p : packets) all.insert(all.end(), p.begin(), p.end());
    device.addFault({sim::Phase::CtrlStatus, sim::FaultKind::Replace, -1, all, 0, 1});
}

// A control link on a simulated cable and device, in virtual time that only
// the test moves. The link is made in SetUp, so its thread already idles.
class ControlLinkTest : public ::testing::Test {
protected:
    ManualClock clock;
    sim::SimDevice device;
    sim::SimFtdiDriver driver{clock};
    std::unique_ptr<control::FTDI_VexlarCtrl> link;

    void SetUp() override {
        driver.plug("FT4K8W01", &device);
        link = std::make_unique<control::FTDI_VexlarCtrl>(driver, clock);
    }
    void TearDown() override {
        clock.release();
        link.reset();
    }

    // As the window's showing does it: start and ask for the greeting, which
    // the device answers at once; the link has taken "READY" 250 ms later.
    void show() {
        link->StartLink();
        link->RequestHandshake();
        ASSERT_TRUE(clock.run(260));
    }

    std::vector<std::uint32_t> sendTimes(std::uint8_t code) const { return commandSendTimes(driver, code); }
    int greetings() const { return greetingsSent(driver); }
    // What went on the line, in order: "TOKEN" or the command code in hex.
    std::vector<std::string> lineOrder() const {
        std::vector<std::string> order;
        for (const Bytes& w : driver.writes()) {
            if (w.size() >= 3 && w[0] == control::kCommandStart)
                order.push_back(k8w::link::HexDump(&w[1], 1).trimmed().toStdString());
            else
                order.push_back(std::string(w.begin(), w.end()));
        }
        return order;
    }
};

} // namespace k8w::test
