#include "link/image_view_fields.h"

#include "cards/config_image.h"
#include "common/cp1251.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace k8w::link {
namespace {

class ViewFieldsTest : public ::testing::Test {
protected:
    ConfigImage image{};

    QString textOf(const char* control) {
        const ViewField* field = FindViewField(QString::fromLatin1(control));
        EXPECT_NE(field, nullptr) << control;
        return field ? ViewFieldText(*field, image.data()) : QString();
    }
    void put(std::size_t offset, const QByteArray& bytes) {
        std::memcpy(image.data() + offset, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
};

TEST_F(ViewFieldsTest, EveryControlOfTheViewTakesItsImageBytes) {
    const std::pair<const char*, std::size_t> expected[] = {
        {"NCardEdit", 0},          {"Label17", 12},           {"CodeUoo", 18},          {"Pin1Edit", 22},
        {"Pin2Edit", 27},          {"Ip1GsmEdit", 32},        {"Ip2GsmEdit", 57},       {"Port1GsmEdit", 82},
        {"Port2GsmEdit", 88},      {"APN1Edit", 94},          {"APN2Edit", 119},        {"LoginGsm1Edit", 144},
        {"LoginGsm2Edit", 164},    {"PassGsm1Edit", 184},     {"PassGsm2Edit", 204},    {"Cord1", 224},
        {"Cord2", 225},            {"Cord3", 226},            {"Cord4", 227},           {"Cord5", 228},
        {"Cord1Part", 229},        {"Cord2Part", 230},        {"Cord3Part", 231},       {"Cord4Part", 232},
        {"Cord5Part", 233},        {"RelayComboBox1", 234},   {"RelayComboBox2", 235},  {"RelayComboBox3", 236},
        {"timePassEdit", 237},     {"IndicZU", 238},          {"powerCtrlOffCheck", 238}, {"oneColorIndicCheck", 238},
        {"caseCtrlOffCheck", 238}, {"allowUpdateCheck", 238}, {"use1961Check", 238},    {"sendSMS1Check", 242},
        {"sendSMS2Check", 242},    {"smsGuardModeCheck", 242}, {"smsFireCheck", 242},   {"smsKtcCheck", 242},
        {"smsAlarmCheck", 242},    {"saveSMSCheck", 242},     {"smsNumber1Edit", 243},  {"smsNumber2Edit", 255},
        {"smsObjNameEdit", 267},   {"balCodeSim1", 309},      {"balCodeSim2", 321},     {"balCritical", 333},
        {"balSendPcnCheck", 335},  {"ProgID1", 583},
    };
    ASSERT_EQ(ViewFields().size(), std::size(expected));
    std::set<QString> names;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const ViewField& field = ViewFields()[i];
        EXPECT_EQ(field.control, QString::fromLatin1(expected[i].first)) << i;
        EXPECT_EQ(field.offset, expected[i].second) << expected[i].first;
        EXPECT_LE(field.offset + field.size, kImageSize) << expected[i].first;
        names.insert(field.control);
    }
    EXPECT_EQ(names.size(), ViewFields().size());
}

TEST_F(ViewFieldsTest, TextsRunToTheFirstZeroInCp1251) {
    put(0, toCp1251(QStringLiteral("К-12")));
    // A PIN without its zero runs on into the next field, as the device keeps it.
    put(22, QByteArray("12345"));
    put(27, QByteArray("67"));
    EXPECT_EQ(textOf("NCardEdit"), QStringLiteral("К-12"));
    EXPECT_EQ(textOf("Pin1Edit"), QStringLiteral("1234567"));
    EXPECT_EQ(textOf("Pin2Edit"), QStringLiteral("67"));
    EXPECT_EQ(textOf("APN1Edit"), QString());
}

TEST_F(ViewFieldsTest, ATextWithoutZeroStopsAtTheImageEnd) {
    std::memset(image.data() + 321, 'x', kImageSize - 321);
    EXPECT_EQ(textOf("balCodeSim2"), QString(static_cast<qsizetype>(kImageSize - 321), QLatin1Char('x')));
}

TEST_F(ViewFieldsTest, ChoicesReadAsTheirItemsAndNothingBeyondTheList) {
    const struct {
        const char* control;
        std::uint8_t index;
        const char16_t* text;
    } cases[] = {
        {"Cord1", 4, u"Входной охранный шлейф"},
        {"Cord1", 5, u"---------------------"},
        {"Cord1", 7, u""},
        {"Cord2", 4, u"---------------------------"},
        {"Cord5", 5, u"Проходной охранный шлейф"},
        {"Cord3", 9, u""},
        {"Cord4Part", 3, u"3"},
        {"Cord4Part", 4, u""},
        {"RelayComboBox1", 10, u"Тревога Свет (раздел 0)"},
        {"RelayComboBox2", 11, u"КТС Свет (раздел 1)"},
        {"RelayComboBox2", 12, u""},
        {"RelayComboBox3", 2, u"Вход/Выход (пульс)"},
        {"RelayComboBox3", 255, u""},
    };
    for (const auto& c : cases) {
        const ViewField& field = *FindViewField(QString::fromLatin1(c.control));
        image[field.offset] = c.index;
        EXPECT_EQ(ViewFieldText(field, image.data()), QString::fromUtf16(c.text)) << c.control << " " << +c.index;
        EXPECT_EQ(ViewFieldIndex(field, image.data()), c.index);
    }
}

TEST_F(ViewFieldsTest, CheckBoxesReadAsOneOrZeroFromTheirBits) {
    image[238] = 0b101010;  // power, case, DS1961S
    const char* mode[] = {"IndicZU", "powerCtrlOffCheck", "oneColorIndicCheck", "caseCtrlOffCheck",
                          "allowUpdateCheck", "use1961Check"};
    for (int bit = 0; bit < 6; ++bit) EXPECT_EQ(textOf(mode[bit]), QString::number(bit % 2)) << mode[bit];

    const char* sms[] = {"sendSMS1Check", "sendSMS2Check", "smsGuardModeCheck", "smsFireCheck",
                         "smsKtcCheck", "smsAlarmCheck", "saveSMSCheck"};
    image[242] = 0x40;  // bit 6 belongs to no box
    for (const char* box : sms) EXPECT_EQ(textOf(box), QStringLiteral("0")) << box;
    image[242] = 0x80;
    EXPECT_EQ(textOf("saveSMSCheck"), QStringLiteral("1"));
    image[242] = 0x08;
    EXPECT_EQ(textOf("smsFireCheck"), QStringLiteral("1"));
    EXPECT_EQ(textOf("smsAlarmCheck"), QStringLiteral("0"));
}

TEST_F(ViewFieldsTest, TheCriticalBalanceNoticeIsTickedWhenBitOneIsClear) {
    for (const auto& [flags, shown] : {std::pair{0x00, "1"}, {0x01, "1"}, {0x02, "0"}, {0xFF, "0"}, {0xFD, "1"}}) {
        image[335] = static_cast<std::uint8_t>(flags);
        EXPECT_EQ(textOf("balSendPcnCheck"), QString::fromLatin1(shown)) << flags;
    }
}

TEST_F(ViewFieldsTest, NumbersAreUnsignedLittleEndianDecimals) {
    put(18, QByteArray("\xFF\xFF\xFF\xFF", 4));
    image[237] = 255;
    EXPECT_EQ(textOf("CodeUoo"), QStringLiteral("4294967295"));
    EXPECT_EQ(textOf("timePassEdit"), QStringLiteral("255"));
    put(18, QByteArray("\x40\xE2\x01\x00", 4));
    image[237] = 0;
    EXPECT_EQ(textOf("CodeUoo"), QStringLiteral("123456"));
    EXPECT_EQ(textOf("timePassEdit"), QStringLiteral("0"));
}

TEST_F(ViewFieldsTest, ACriticalBalanceOfZeroReadsAsTen) {
    for (const auto& [level, shown] : {std::pair{0, "10"}, {1, "1"}, {10, "10"}, {4321, "4321"}, {65535, "65535"}}) {
        image[333] = static_cast<std::uint8_t>(level & 0xFF);
        image[334] = static_cast<std::uint8_t>(level >> 8);
        EXPECT_EQ(textOf("balCritical"), QString::fromLatin1(shown)) << level;
    }
}

TEST_F(ViewFieldsTest, BuildDateAndChecksum) {
    put(12, QByteArray("\x06\x0C\x1A\x0E\x03\x1B", 6));
    put(583, QByteArray("\xAF\x00", 2));
    EXPECT_EQ(textOf("Label17"), QStringLiteral("6.12.26 14:3:27"));
    EXPECT_EQ(textOf("ProgID1"), QStringLiteral("00AF"));
    put(12, QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF", 6));
    put(583, QByteArray("\x34\x12", 2));
    EXPECT_EQ(textOf("Label17"), QStringLiteral("255.255.255 255:255:255"));
    EXPECT_EQ(textOf("ProgID1"), QStringLiteral("1234"));
}

} // namespace
} // namespace k8w::link
