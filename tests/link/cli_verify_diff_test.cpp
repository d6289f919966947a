// k8w-cli program --verify and diff as processes against simulated devices.
#include "cli/cli_process.h"
#include "control/served_device.h"
#include "link/cli_card_fixture.h"

#include "cards/config_image.h"
#include "sim/sim_device.h"
#include "support/sim_process.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace k8w::test {
namespace {

void writeFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray bytesOf(const ConfigImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()));
}

void sealImage(std::vector<std::uint8_t>& image) {
    const std::uint16_t crc = ImageCrc16(image.data(), kImageCrcOffset);
    image[kImageCrcOffset] = static_cast<std::uint8_t>(crc & 0xFF);
    image[kImageCrcOffset + 1] = static_cast<std::uint8_t>(crc >> 8);
}

// Every image written is kept changed by `alter`, as a faulty memory would.
void keepAltered(sim::SimDevice& device, const std::function<void(std::vector<std::uint8_t>&)>& alter) {
    device.setImageStoredListener([&device, alter](const std::vector<std::uint8_t>& written) {
        std::vector<std::uint8_t> kept = written;
        alter(kept);
        device.setStoredImage(kept);
    });
}

class CliCheck : public CliCardTest {
protected:
    void SetUp() override {
        CliCardTest::SetUp();
        Card& card = table->cards[0];
        setFieldText(card.cardNumber, QStringLiteral("К-12"));
        setFieldText(card.pin1, QStringLiteral("1111"));
        setFieldText(card.apn1, QStringLiteral("internet"));
        card.cordType[0] = 4;
        card.cordType[1] = 5;
        card.relayProfile[0] = 3;
        card.smsFlags = kSmsToNumber1;
        card.balCriticalLevel = 10;
        card.keys[0][0].state = 1;
        const std::uint8_t code[6] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x7F};
        std::memcpy(card.keys[0][0].keyCode, code, 6);
        save();
    }
    // The card's image as another build moment would make it.
    ConfigImage cardImage() {
        ConfigImage image{};
        std::uint16_t crc = 0;
        EXPECT_EQ(BuildConfigImageAt(table->cards[0], QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)), 11, 22, image, crc),
                  585);
        return image;
    }
    CliRun program(const QString& port) {
        return runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"), QStringLiteral("--port"),
                       port, QStringLiteral("--verify")});
    }
    CliRun diff(const QString& imageFile) {
        return runCli({QStringLiteral("diff"), QStringLiteral("--row"), QStringLiteral("1"), QStringLiteral("--image"),
                       imageFile});
    }
};

TEST_F(CliCheck, VerifyReadsTheDeviceBackAndFindsWhatWasWritten) {
    SimProcess sim({QStringLiteral("--image"), QStringLiteral("device.img")});
    const auto run = program(sim.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
    EXPECT_EQ(lines[1], QStringLiteral("verified"));
    EXPECT_EQ(+savedCard().progId, lines[0].toUInt(nullptr, 16));
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
}

TEST_F(CliCheck, VerifyShowsWhatTheDeviceKeptOtherwiseAndExits3) {
    ServedDevice served;
    ASSERT_TRUE(served.ok());
    keepAltered(served.device(), [](std::vector<std::uint8_t>& image) {
        image[224] = 6;     // loop 1
        image[400] = 0xFF;  // a reserved byte the view does not show
        sealImage(image);
    });
    const auto run = program(served.path());
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 1);
    const QString checksum = lines[0];
    ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
    EXPECT_EQ(lines[1], QStringLiteral("Cord1\tВходной охранный шлейф\tУправляющий шлейф"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("ProgID1\t") + checksum + QLatin1Char('\t'))) << lines[2].toStdString();
    EXPECT_EQ(lines[3], QStringLiteral("byte 400\t0\t255"));
    EXPECT_EQ(run.err, QStringLiteral("not verified: the device holds other data than was written\n"));
    // The write itself succeeded: its result is recorded.
    EXPECT_EQ(+savedCard().progId, checksum.toUInt(nullptr, 16));
    EXPECT_EQ(+savedCard().prevProgId, 0x1111);
}

TEST_F(CliCheck, AFailedReadBackExits3WithTheReadersReason) {
    const struct {
        const char* what;
        std::function<void(ServedDevice&)> fault;
        const char16_t* reason;
    } cases[] = {
        {"refused read", [](ServedDevice& d) { d.device().addFault({sim::Phase::ReadRequest, sim::FaultKind::Error}); },
         u"УОО вернул ошибку при считывании"},
        {"damaged memory",
         [](ServedDevice& d) { keepAltered(d.device(), [](std::vector<std::uint8_t>& image) { image[100] ^= 0x01; }); },
         u"Получены неверные данные от УОО."},
    };
    for (const auto& c : cases) {
        save();
        ServedDevice served;
        ASSERT_TRUE(served.ok());
        c.fault(served);
        const auto run = program(served.path());
        EXPECT_EQ(run.exitCode, 3) << c.what << run.err.toStdString();
        EXPECT_EQ(run.err, QStringLiteral("СЧИТЫВАНИЕ НЕ ПРОИЗВЕДЕНО\n\nПричина:\n") + QString::fromUtf16(c.reason) +
                               QStringLiteral("\nnot verified: the device could not be read back\n"))
            << c.what;
        const QString checksum = run.out.trimmed();
        ASSERT_EQ(checksum.size(), 4) << c.what;
        EXPECT_EQ(+savedCard().progId, checksum.toUInt(nullptr, 16)) << c.what;
    }
}

TEST_F(CliCheck, WhatProgramWroteAndReadBroughtBackDiffsClean) {
    SimProcess sim({QStringLiteral("--image"), QStringLiteral("device.img")});
    ASSERT_EQ(runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"), QStringLiteral("--port"),
                      sim.path()})
                  .exitCode,
              0);
    ASSERT_EQ(runCli({QStringLiteral("read"), QStringLiteral("--port"), sim.path(), QStringLiteral("--out"),
                      QStringLiteral("back.img")})
                  .exitCode,
              0);
    const auto run = diff(QStringLiteral("back.img"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
}

TEST_F(CliCheck, DiffIgnoresBuildDateRandomBytesAndChecksum) {
    writeFile(QStringLiteral("device.img"), bytesOf(cardImage()));
    const auto run = diff(QStringLiteral("device.img"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
}

TEST_F(CliCheck, DiffListsEachFieldThatDiffersAsTheViewShowsIt) {
    const ConfigImage built = cardImage();
    std::vector<std::uint8_t> device(built.begin(), built.end());
    std::memcpy(device.data(), "K-12\0", 5);                  // Latin K
    device[225] = 3;                                            // loop 2: a fire-alarm loop
    device[234] = 12;                                           // beyond the view's list
    device[242] = 0;                                            // no SMS to number 1
    device[333] = 0;                                            // 0 reads as 10: no difference
    std::memcpy(device.data() + 267, "a\tb", 4);                // an object name with a tab
    device[437 + 36 * 1 + 6 * 2] = 0x7F;                        // partition 2, slot 3
    device[437] = 0x11;                                         // partition 1, slot 1
    device[300] = 0x55;                                         // not shown by the view
    sealImage(device);
    writeFile(QStringLiteral("device.img"), QByteArray(reinterpret_cast<const char*>(device.data()), 585));
    const auto run = diff(QStringLiteral("device.img"));
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("NCardEdit\tК-12\tK-12\n"
                                      "Cord2\tПроходной охранный шлейф\tШлейф КТС\n"
                                      "RelayComboBox1\tПожар Свет (общий)\t\n"
                                      "sendSMS1Check\t1\t0\n"
                                      "smsObjNameEdit\t\ta\\tb\n"
                                      "key 1.1\t7f 05 04 03 02 01 \t7f 05 04 03 02 11 \n"
                                      "key 2.3\t00 00 00 00 00 00 \t00 00 00 00 00 7f \n"));
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
}

TEST_F(CliCheck, DiffRefusesAnImageThatIsNotAnIntactDeviceImage) {
    const QByteArray good = bytesOf(cardImage());
    QByteArray damaged = good;
    damaged[50] = static_cast<char>(damaged[50] ^ 0x10);
    const struct {
        const char* what;
        QByteArray bytes;
        const char* says;
    } cases[] = {
        {"short", good.left(584), "holds 584 bytes; a device image has 585"},
        {"long", good + QByteArray(1, '\0'), "holds 586 bytes; a device image has 585"},
        {"empty", QByteArray(), "holds 0 bytes; a device image has 585"},
        {"damaged", damaged, "fails its checksum"},
    };
    for (const auto& c : cases) {
        writeFile(QStringLiteral("device.img"), c.bytes);
        const auto run = diff(QStringLiteral("device.img"));
        EXPECT_EQ(run.exitCode, 2) << c.what;
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.says))) << c.what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << c.what;
    }
    const auto missing = diff(QStringLiteral("nothing.img"));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err, QStringLiteral("cannot read nothing.img\n"));
}

TEST_F(CliCheck, DiffRefusesACardWithoutAnImageAndAFreeRow) {
    writeFile(QStringLiteral("device.img"), bytesOf(cardImage()));
    table->cards[0].version = 1;
    save();
    const auto unsupported = diff(QStringLiteral("device.img"));
    EXPECT_EQ(unsupported.exitCode, 2);
    EXPECT_TRUE(unsupported.err.contains(QStringLiteral("version is not supported"))) << unsupported.err.toStdString();
    const auto free = runCli({QStringLiteral("diff"), QStringLiteral("--row"), QStringLiteral("2"),
                              QStringLiteral("--image"), QStringLiteral("device.img")});
    EXPECT_EQ(free.exitCode, 2);
    const auto noImage = runCli({QStringLiteral("diff"), QStringLiteral("--row"), QStringLiteral("1")});
    EXPECT_EQ(noImage.exitCode, 2);
    EXPECT_EQ(noImage.err, QStringLiteral("--image FILE is required\n"));
}

} // namespace
} // namespace k8w::test
