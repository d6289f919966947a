#pragma once
#include "cards/config_image.h"
#include "common/virtual_clock.h"
#include "link/ftdi_controller.h"
#include "link/link_block.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"
#include "support/temp_workdir.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace k8w::test {

using Bytes = std::vector<std::uint8_t>;

// An intact device image with varied bytes.
inline Bytes sampleImage(std::size_t size = kImageSize, std::uint8_t seed = 7) {
    Bytes image(size);
    std::uint32_t x = seed;
    for (auto& b : image) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    if (size == kImageSize) {
        const std::uint16_t crc = ImageCrc16(image.data(), kImageCrcOffset);
        image[583] = static_cast<std::uint8_t>(crc);
        image[584] = static_cast<std::uint8_t>(crc >> 8);
    }
    return image;
}

inline Bytes bytes(const std::string& text) { return {text.begin(), text.end()}; }

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The programming log with the time of day cut off each line:
// "(200) > [TX] WRITE". Lines must end in CR LF.
inline QStringList logLines() {
    QFile file(QString::fromLatin1(link::kProgLogName));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QString text = QString::fromUtf8(file.readAll());
    QStringList lines = text.split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.back().isEmpty()) << "the log does not end with CR LF";
    lines.removeLast();
    static const QRegularExpression timeOfDay(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}[^(]*(\\(\\d+\\) > \\[[TR]X\\] .*)$"));
    QStringList stripped;
    for (const QString& line : lines) {
        const auto match = timeOfDay.match(line);
        EXPECT_TRUE(match.hasMatch()) << line.toStdString();
        stripped << (match.hasMatch() ? match.captured(1) : line);
    }
    return stripped;
}

inline int countLines(const QStringList& lines, const QString& suffix) {
    int n = 0;
    for (const QString& line : lines)
        if (line.endsWith(suffix)) ++n;
    return n;
}

class LinkTest : public ::testing::Test {
protected:
    TempWorkdir dir;
    VirtualClock clock{1000};
    sim::SimDevice device;
    sim::SimFtdiDriver driver{clock};
    Bytes image = sampleImage();

    void SetUp() override { driver.plug("FT4K8W01", &device); }

    sim::DeviceSettings settings(bool readyNext = false) {
        sim::DeviceSettings s;
        s.readyNext = readyNext;
        return s;
    }
    // Stops `link` once the virtual clock reaches `atMs` after the start.
    void stopAt(link::FTDI_Controller& link, std::uint32_t afterMs) {
        const std::uint32_t at = clock.tickMs() + afterMs;
        clock.setListener([&link, at](std::uint32_t now) {
            if (now >= at) link.Stop();
        });
    }
    // Runs a write of `data`; the object is gone afterwards (cable closed).
    int program(const Bytes& data) {
        link::FTDI_Controller link(driver, clock);
        const int opened = link.Open(data.data(), static_cast<int>(data.size()));
        EXPECT_EQ(opened, link::kOpenOk);
        return link.Start();
    }
    Bytes written() const {
        Bytes all;
        for (const Bytes& w : driver.writes()) all.insert(all.end(), w.begin(), w.end());
        return all;
    }
};

} // namespace k8w::test
