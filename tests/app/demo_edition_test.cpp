// The demo edition's own hardware: a card is programmed into its simulated
// device through the cable the user picks, as in the real utility.
#include "window_test_support.h"

#include "app/demo_hardware.h"
#include "app/tftdi_dialog.h"
#include "cards/config_image.h"
#include "link/link_workers.h"
#include "sim/sim_device.h"

#include <QTest>

namespace k8w::test {
namespace {

TEST_F(WindowTest, TheDemoEditionProgramsACardOnItsSimulatedDevice) {
    DemoHardware demo;
    hardware = demo.hardware();
    table->cards[0] = usedCard(32001, QStringLiteral("12"), QStringLiteral("Склад"));
    writeDatabase(*table);
    open();

    // Two demo cables: the dialog asks for one once.
    whenShown(&window().cableDialog(), [this] {
        QTest::mouseClick(window().cableDialog().findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    });
    click("ProgBtn");
    ASSERT_TRUE(waitForWorker());

    ASSERT_FALSE(boxes.shown().empty());
    EXPECT_EQ(boxes.last().text, link::kProgDoneText);
    const std::vector<std::uint8_t> written = demo.device().storedImage();
    ASSERT_EQ(written.size(), kImageSize);
    EXPECT_EQ(+readDatabase()->cards[0].progId, written[583] | written[584] << 8);
}

} // namespace
} // namespace k8w::test
