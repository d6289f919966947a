// The device buttons of the main window against simulated cables and a
// simulated device: programming, reading, stopping, the cable choice,
// closing the window while a worker runs, and Enter pressing no button.
#include "enter_key_support.h"
#include "window_test_support.h"

#include "app/tform2.h"
#include "app/tform4.h"
#include "app/tftdi_dialog.h"
#include "app/tkeysform.h"
#include "store/card_base.h"
#include "cards/config_image.h"
#include "common/day_date.h"
#include "common/virtual_clock.h"
#include "link/exchange_outcome.h"
#include "link/link_workers.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"
#include "support/watchdog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>

#include <cstring>
#include <functional>
#include <future>

namespace k8w::test {
namespace {

using sim::Fault;
using sim::FaultKind;
using sim::Phase;
using Op = sim::SimFtdiDriver::Op;

const QString kAttentionTitle = QStringLiteral("Внимание");

class DeviceTest : public WindowTest {
protected:
    VirtualClock clock;
    sim::SimDevice device;
    sim::SimFtdiDriver cables{clock};

    void SetUp() override {
        table->cards[0] = usedCard(32001, QStringLiteral("12"), QStringLiteral("Склад"));
        table->cards[0].progId = 0x1111;
        writeDatabase(*table);
        cables.plug("FT4K8W01", &device);
        hardware = {&cables, &clock};
    }

    QString lastText() const { return boxes.shown().isEmpty() ? QString() : boxes.last().text; }
    Card cardOnDisk(int slot = 0) { return readDatabase()->cards[static_cast<std::size_t>(slot)]; }
    QString viewText(const char* name) {
        auto* e = window().readView().findChild<QLineEdit*>(QString::fromLatin1(name));
        return e ? e->text() : QStringLiteral("<missing>");
    }
};

TEST_F(DeviceTest, SuccessfulWriteRecordsTheResultBeforeTheSuccessBox) {
    open();
    const double before = dayDateNow();
    boxes.onShow = [this](const MessageRequest&) {
        EXPECT_NE(+cardOnDisk().progId, 0x1111) << "the result is on disk before the box can be closed";
    };
    click("ProgBtn");
    EXPECT_EQ(find<QPushButton>("ProgBtn")->text(), QStringLiteral("Остановить"));
    EXPECT_TRUE(find<QProgressBar>("Progress")->isVisible());
    EXPECT_FALSE(find<QPushButton>("SpeedButton1")->isEnabled());
    ASSERT_TRUE(waitForWorker());
    boxes.onShow = nullptr;

    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().title, QStringLiteral("Операция завершена"));
    EXPECT_EQ(boxes.last().text, link::kProgDoneText);
    const std::vector<std::uint8_t> written = device.storedImage();
    ASSERT_EQ(written.size(), kImageSize);
    const std::uint16_t crc = static_cast<std::uint16_t>(written[583] | written[584] << 8);
    const Card& card = window().cardTable().cards[0];
    EXPECT_EQ(+card.progId, crc);
    EXPECT_EQ(+card.prevProgId, 0x1111);
    EXPECT_GE(+card.progDate, before - 1e-6);
    EXPECT_EQ(+cardOnDisk().progId, crc);
    EXPECT_FALSE(cell(1, 5).isEmpty());
    EXPECT_EQ(edit("ProgID1")->text(), ChecksumText(crc));
    EXPECT_EQ(find<QPushButton>("ProgBtn")->text(), QStringLiteral("Программировать"));
    EXPECT_FALSE(find<QProgressBar>("Progress")->isVisible());
    EXPECT_TRUE(find<QPushButton>("ProgBtn")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("SpeedButton1")->isEnabled());
    EXPECT_EQ(cables.openHandles(), 0);

    // A second write moves the first result to the previous one.
    click("ProgBtn");
    ASSERT_TRUE(waitForWorker());
    const std::vector<std::uint8_t> second = device.storedImage();
    EXPECT_EQ(+cardOnDisk().prevProgId, crc);
    EXPECT_EQ(+cardOnDisk().progId, static_cast<std::uint16_t>(second[583] | second[584] << 8));
}

TEST_F(DeviceTest, AWriteRefreshesTheProgrammedCardsRowAfterTheSearchMovedOn) {
    table->cards[5] = usedCard(32006, QStringLiteral("17"), QStringLiteral("Гараж"));
    writeDatabase(*table);
    // The device holds the write after storing the image until the search is done.
    std::promise<void> searched;
    const std::shared_future<void> gate = searched.get_future().share();
    device.setImageStoredListener([gate](const std::vector<std::uint8_t>&) { gate.wait_for(test::kHang); });
    auto release = qScopeGuard([&] { searched.set_value(); });
    open();
    ASSERT_TRUE(cell(1, 5).isEmpty());
    click("ProgBtn");
    type("SearchEdit", QStringLiteral("Гараж"));  // the search stays usable while the write runs
    EXPECT_EQ(window().currentCardIndex(), 5);
    EXPECT_TRUE(window().hasDeviceWorker());
    searched.set_value();
    release.dismiss();
    ASSERT_TRUE(waitForWorker());
    ASSERT_EQ(lastText(), link::kProgDoneText);

    const Card& programmed = window().cardTable().cards[0];
    EXPECT_GT(+programmed.progDate, 0.001);
    EXPECT_EQ(cell(1, 5), CardRowTexts(programmed)[4]);
    EXPECT_TRUE(cell(6, 5).isEmpty());  // the card now shown was not programmed
    EXPECT_EQ(edit("ProgID1")->text(), ChecksumText(0));
}

TEST_F(DeviceTest, AWriteWhoseResultCannotBeSavedSaysSoBeforeTheSuccessBox) {
    open();
    setCardSaveHook([](CardSaveStep step, qint64) { return step != CardSaveStep::Sync; });  // the disk fails late
    click("ProgBtn");
    const bool ended = waitForWorker();
    setCardSaveHook({});
    ASSERT_TRUE(ended);
    ASSERT_EQ(boxes.shown().size(), 2);
    EXPECT_EQ(boxes.shown()[0].title, QStringLiteral("Ошибка"));
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Ошибка записи на диск"));
    EXPECT_EQ(boxes.shown()[1].text, link::kProgDoneText);
    EXPECT_EQ(+cardOnDisk().progId, 0x1111);  // the old file is whole
    const std::uint16_t recorded = window().cardTable().cards[0].progId;
    EXPECT_NE(recorded, 0x1111);  // the result stays in memory for the next save
    window_->close();             // and closing the window writes it
    EXPECT_EQ(+cardOnDisk().progId, recorded);
}

TEST_F(DeviceTest, EachFailureIsReportedWithItsReasonAndChangesNoCard) {
    struct Case {
        const char* what;
        std::function<void(sim::SimFtdiDriver&, sim::SimDevice&)> arrange;
        QString reason;
    };
    const Case cases[] = {
        {"no cable", [](sim::SimFtdiDriver& c, sim::SimDevice&) { c.unplug("FT4K8W01"); }, QStringLiteral("Кабель FTDI не найден.")},
        {"cable will not open", [](sim::SimFtdiDriver& c, sim::SimDevice&) { c.fail(Op::Open); },
         QStringLiteral("Драйвер FTDI не отвечает.\nПроверьте наличие драйвера и перезапустите программу.")},
        {"write fails", [](sim::SimFtdiDriver& c, sim::SimDevice&) { c.fail(Op::Write, 3); },
         QStringLiteral("Ошибка при обращении к устройству FTDI.")},
        {"device refuses", [](sim::SimFtdiDriver&, sim::SimDevice& d) { d.addFault({Phase::WriteRequest, FaultKind::Error}); },
         QStringLiteral("УОО вернул ошибку при программировании")},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        cables.clearFailures();
        device.clearFaults();
        cables.unplug("FT4K8W01");
        cables.plug("FT4K8W01", &device);
        c.arrange(cables, device);
        boxes.clear();
        click("ProgBtn");
        ASSERT_TRUE(waitForWorker());
        ASSERT_EQ(boxes.shown().size(), 1);
        EXPECT_EQ(boxes.last().title, kAttentionTitle);
        EXPECT_EQ(lastText(), link::kProgFailedText + c.reason + QStringLiteral("\n\n"));
        EXPECT_EQ(+cardOnDisk().progId, 0x1111);
        EXPECT_EQ(find<QPushButton>("ProgBtn")->text(), QStringLiteral("Программировать"));
    }
}

TEST_F(DeviceTest, StopDuringTheHandshakeShowsOnlyTheStopMessage) {
    device.addFault({Phase::Handshake, FaultKind::Silence});
    open();
    click("ProgBtn");
    click("ProgBtn");  // "Остановить"
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().title, QStringLiteral("Операция не завершена"));
    EXPECT_EQ(lastText(), link::kProgStoppedText);
    EXPECT_TRUE(boxes.last().systemModal);
    // Until the stopped worker has let go of the cable and the log, no new
    // attempt and no editing can start.
    if (window().hasDeviceWorker()) {
        EXPECT_FALSE(find<QPushButton>("ProgBtn")->isEnabled());
        EXPECT_FALSE(find<QPushButton>("SpeedButton1")->isEnabled());
        EXPECT_FALSE(find<QPushButton>("BitBtn1")->isEnabled());
    }
    ASSERT_TRUE(waitForWorker());
    EXPECT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(find<QPushButton>("ProgBtn")->text(), QStringLiteral("Программировать"));
    EXPECT_TRUE(find<QPushButton>("ProgBtn")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("SpeedButton1")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("BitBtn1")->isEnabled());
    EXPECT_FALSE(find<QProgressBar>("Progress")->isVisible());
    EXPECT_EQ(cables.openHandles(), 0);
    EXPECT_EQ(device.imagesStored(), 0);
}

TEST_F(DeviceTest, CardsThatCannotBeProgrammedAreRefusedBeforeAnyWorker) {
    table->cards[0].version = 1;
    writeDatabase(*table);
    open();
    click("ProgBtn");
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(lastText(), link::kUnsupportedVersionText);
    EXPECT_FALSE(window().hasDeviceWorker());

    clickRow(2);  // an empty slot
    click("ProgBtn");
    EXPECT_EQ(lastText(), link::kEmptyCardText);
    EXPECT_EQ(boxes.last().title, kAttentionTitle);

    clickRow(1);
    window().cardTable().cards[0].version = 0;
    setCardSaveHook([](CardSaveStep step, qint64) { return step != CardSaveStep::Reserve; });  // disk full
    click("ProgBtn");
    setCardSaveHook({});
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Результат программирования не может быть записан")));
    EXPECT_FALSE(window().hasDeviceWorker());
    EXPECT_FALSE(QFile::exists(QStringLiteral("ProgLog.log")));
    EXPECT_EQ(cables.calls(Op::Open), 0);
}

TEST_F(DeviceTest, SuccessfulReadFillsTheViewAndKeepsStopUntilItCloses) {
    Card shown = table->cards[0];
    ConfigImage image{};
    std::uint16_t crc = 0;
    ASSERT_EQ(BuildConfigImageAt(shown, QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27)), 1, 2, image, crc), 585);
    device.setStoredImage({image.begin(), image.end()});
    device.setSettings({false, {2, 1, 7}});
    open();
    QString captionWhileOpen;
    whenShown(&window().readView(), [&] {
        captionWhileOpen = find<QPushButton>("SpeedButton1")->text();
        window().readView().accept();
    });
    click("SpeedButton1");
    ASSERT_TRUE(waitForWorker());
    EXPECT_TRUE(boxes.shown().isEmpty()) << lastText().toStdString();
    EXPECT_EQ(captionWhileOpen, QStringLiteral("Остановить"));
    EXPECT_EQ(viewText("NCardEdit"), QStringLiteral("12"));
    EXPECT_EQ(viewText("CodeUoo"), QStringLiteral("32001"));
    EXPECT_EQ(viewText("versionEdit"), QStringLiteral("2.1.7"));
    EXPECT_EQ(viewText("ProgID1"), ChecksumText(crc));
    EXPECT_EQ(find<QPushButton>("SpeedButton1")->text(), QStringLiteral("Считать"));
    EXPECT_TRUE(find<QPushButton>("ProgBtn")->isEnabled());
    EXPECT_FALSE(window().isEditMode());
}

TEST_F(DeviceTest, ReadOfABadImageOrWithoutVersionIsHandled) {
    std::vector<std::uint8_t> image(kImageSize, 0x21);  // its checksum does not hold
    device.setStoredImage(image);
    open();
    click("SpeedButton1");
    ASSERT_TRUE(waitForWorker());
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(lastText(), link::kReadFailedText + link::kBadImageText + QStringLiteral("\n\n"));
    EXPECT_FALSE(window().readView().isVisible());

    const std::uint16_t crc = ImageCrc16(image.data(), kImageCrcOffset);
    image[583] = static_cast<std::uint8_t>(crc);
    image[584] = static_cast<std::uint8_t>(crc >> 8);
    device.setStoredImage(image);
    device.addFault({Phase::Version, FaultKind::Silence});
    whenShown(&window().readView(), [&] { window().readView().accept(); });
    click("SpeedButton1");
    ASSERT_TRUE(waitForWorker());
    EXPECT_EQ(viewText("versionEdit"), QStringLiteral("Н/Д"));
}

TEST_F(DeviceTest, SeveralCablesAreChosenOnceInTheDialog) {
    sim::SimDevice second;
    cables.plug("FT4K8W02", &second);
    open();
    QStringList listed;
    whenShown(&window().cableDialog(), [&] {
        auto* combo = window().cableDialog().findChild<QComboBox*>(QStringLiteral("devCombo"));
        for (int i = 0; i < combo->count(); ++i) listed << combo->itemText(i);
        EXPECT_EQ(combo->currentIndex(), 0);
        combo->setCurrentIndex(1);
        QTest::mouseClick(window().cableDialog().findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    });
    click("ProgBtn");
    ASSERT_TRUE(waitForWorker());
    EXPECT_EQ(listed, (QStringList{QStringLiteral("FT4K8W01"), QStringLiteral("FT4K8W02")}));
    EXPECT_EQ(window().cableSerial(), QStringLiteral("FT4K8W02"));
    EXPECT_EQ(second.imagesStored(), 1);
    EXPECT_EQ(device.imagesStored(), 0);

    // The choice stands; once its cable is gone every attempt fails to open.
    cables.plug("FT4K8W03", nullptr);
    cables.unplug("FT4K8W02");
    boxes.clear();
    click("SpeedButton1");
    ASSERT_TRUE(waitForWorker());
    EXPECT_FALSE(window().cableDialog().isVisible());
    EXPECT_EQ(lastText(), link::kReadFailedText +
                              QStringLiteral("Драйвер FTDI не отвечает.\nПроверьте наличие драйвера и перезапустите "
                                             "программу.\n\n"));
}

TEST_F(DeviceTest, ClosingWhileAWorkerRunsEndsItWithoutAMessage) {
    device.addFault({Phase::Handshake, FaultKind::Silence});
    open();
    click("ProgBtn");
    ASSERT_TRUE(window().hasDeviceWorker());
    window_->close();
    window_.reset();  // FormDestroy: stop, wait, never run the completion step
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(cables.openHandles(), 0);
    EXPECT_TRUE(link::WaitForLinkWorkers(0));
}

} // namespace
} // namespace k8w::test

namespace k8w::test {
namespace {

TEST(CableDialogPicture, ShowsTheWholeQuestionAndTheSerials) {
    TftdiDialog dialog;
    dialog.setSerials({QStringLiteral("FT4K8W01"), QStringLiteral("FT4K8W02")});
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Выбор FTDI"));
    EXPECT_EQ(dialog.size(), QSize(250, 153));
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_NE(label, nullptr);
    EXPECT_LE(label->heightForWidth(label->width()), label->height()) << "the question is cut off";
    EXPECT_EQ(dialog.chosenSerial(), QStringLiteral("FT4K8W01"));
    dialog.grab().save(QStringLiteral(K8W_PICTURE_DIR "/cable_dialog.png"));
}

} // namespace
} // namespace k8w::test

namespace k8w::test {
namespace {

using OtherWindowsTest = DeviceTest;

TEST_F(OtherWindowsTest, AreCreatedOnceAfterTheMainWindowAndShownModallyByTheirButtons) {
    table->cards[0].modeFlags = kModePartSupport;
    writeDatabase(*table);
    open();
    QStringList order;
    for (QObject* child : window().children())
        if (child->isWidgetType() && static_cast<QWidget*>(child)->isWindow()) order << child->metaObject()->className();
    EXPECT_EQ(order, (QStringList{"k8w::TftdiDialog", "k8w::TForm2", "k8w::TForm4", "k8w::TenterKeyDialog",
                                  "k8w::TmanualKeyDlg", "k8w::TkeysForm", "k8w::THistoryDialog"}));

    bool controlModal = false;
    whenShown(&window().controlWindow(), [&] {
        controlModal = window().controlWindow().isModal();
        window().controlWindow().close();
    });
    click("ctrlWinBtn");
    EXPECT_TRUE(controlModal);
    EXPECT_FALSE(window().controlWindow().isVisible());

    // The key table's button stays hidden; its rule still enables it.
    EXPECT_FALSE(find<QPushButton>("keysWinBtn")->isVisible());
    EXPECT_TRUE(find<QPushButton>("keysWinBtn")->isEnabled());
    QString caption;
    whenShown(&window().keyTable(), [&] {
        caption = window().keyTable().windowTitle();
        window().keyTable().close();
    });
    window().keysWinBtnClick();
    EXPECT_EQ(caption, QStringLiteral("Привязка ключей к разделам"));
}

} // namespace
} // namespace k8w::test

namespace k8w::test {
namespace {

using MainWindowEnter = DeviceTest;

QByteArray databaseBytes() {
    QFile file(kCardFileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Enter presses no button on the user's behalf: with the focus on each kind
// of control the main window sends nothing to the device and changes nothing.
TEST_F(MainWindowEnter, SendsNothingAndChangesNothingWhereverTheFocusIs) {
    const struct {
        const char* kind;
        const char* name;
        bool editing;  // the control takes the focus only in editing mode
    } focused[] = {
        {"card grid", "SetsGrid", false},
        {"editing button", "BitBtn1", false},
        {"programming button", "ProgBtn", false},
        {"reading button", "SpeedButton1", false},
        {"control window button", "ctrlWinBtn", false},
        {"exit button", "ExitBtn", false},
        {"find-next tool button", "SpeedButton3", false},
        {"line edit", "NCardEdit", true},
        {"number edit", "CodeUoo", true},
        {"read-only edit", "ProgID1", true},
        {"combo box", "Cord1", true},
        {"version combo box", "VersionCombo", true},
        {"check box", "IndicZU", true},
        {"page control", "PageControl1", true},
        {"save button", "BitBtn2", true},
        {"delete button", "BitBtn3", true},
        {"cancel editing button", "BitBtn1", true},
    };
    open();
    const OtherWindowTrap trap(window());
    const QByteArray fileBefore = databaseBytes();
    ASSERT_FALSE(fileBefore.isEmpty());
    const auto cardsBefore = CardTable::create();
    for (const bool editing : {false, true}) {
        if (editing) startEditing();
        *cardsBefore = window().cardTable();
        const QStringList statesBefore = controlStates(window());
        for (const auto& c : focused) {
            if (c.editing != editing) continue;
            for (const Qt::Key key : kEnterKeys) {
                SCOPED_TRACE(std::string(c.kind) + ", " + enterKeyName(key));
                ASSERT_TRUE(pressEnterOn(find(c.name), key)) << c.name << " takes no focus";
                QCoreApplication::processEvents();
                EXPECT_TRUE(boxes.shown().isEmpty());
                EXPECT_TRUE(trap.shown.isEmpty()) << trap.shown.join(QLatin1Char(' ')).toStdString();
                EXPECT_FALSE(window().hasDeviceWorker());
                EXPECT_EQ(cables.calls(Op::Open), 0);
                EXPECT_TRUE(device.received().empty());
                EXPECT_TRUE(window().isVisible());
                EXPECT_EQ(window().isEditMode(), editing);
                EXPECT_EQ(window().currentCardIndex(), 0);
                EXPECT_EQ(changedStates(statesBefore, controlStates(window())), "");
                EXPECT_EQ(std::memcmp(&window().cardTable(), cardsBefore.get(), sizeof(CardTable)), 0);
                EXPECT_TRUE(databaseBytes() == fileBefore) << "the database file was written";
            }
        }
    }
}

} // namespace
} // namespace k8w::test
