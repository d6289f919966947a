// The main window on a card base shared on a real PostgreSQL server, started
// once for this test program: conflicts, results kept beside others' edits,
// change notices, a server gone mid-work, a read-only role and start-up.
#include "shared_base_window_fixture.h"

#include "support/pg_server_environment.h"

#include <QScopeGuard>
#include <QSettings>

namespace k8w::test {

const auto* const kServerEnvironment = ::testing::AddGlobalTestEnvironment(new PgServerEnvironment);
PgTestServer& server() { return PgServerEnvironment::server(); }

namespace {

// A save, a deletion and a key change of a card someone else changed since
// the window showed it (in what the change writes) ask first; Yes writes over
// theirs, No shows theirs.
TEST_F(SharedBaseWindowTest, AChangeOfACardChangedElsewhereAsksAndYesWritesOverNoShowsTheirs) {
    struct Case {
        const char* what;
        int ownQuestions;  // asked before the conflict question
        std::function<void()> act;  // their change comes in between
        std::function<void(const Card&)> afterYes;
    };
    const auto theirObject = [](Card& c) { setFieldText(c.objectName, QStringLiteral("Их объект")); };
    const Case cases[] = {
        {"save", 0,
         [&] {
             startEditing();
             type("Edit1", QStringLiteral("Мой объект"));
             theyChange(3, theirObject);
             click("BitBtn2");
         },
         [&](const Card& card) {
             EXPECT_EQ(fieldText(card.objectName), QStringLiteral("Мой объект"));
             EXPECT_EQ(cell(4, 3), QStringLiteral("Мой объект"));
         }},
        {"deletion", 1,
         [&] {
             startEditing();
             theyChange(3, theirObject);
             click("BitBtn3");
         },
         [&](const Card& card) {
             EXPECT_FALSE(isCardInUse(card));
             EXPECT_TRUE(cell(4, 1).isEmpty());
         }},
        {"key change", 1,
         [&] {
             inKeyTable([&](TkeysForm& keys) {
                 selectKeySlot(keys, 1, 0);
                 // the same key slot, beside the object; no event runs before the deletion
                 theyChange(3, theirObject);
                 KeyEntry theirs = installedKey();
                 theirs.subscriber = 9;
                 ASSERT_TRUE(other_->setKey(3, 0, 0, theirs, other_->readCard(3).current.revision).ok());
                 keys.keyDelBtnClick();
             });
         },
         [&](const Card& card) {
             EXPECT_EQ(card.keys[0][0].state, 0);
             EXPECT_EQ(fieldText(card.objectName), QStringLiteral("Их объект")) << "their change stays beside";
         }},
    };
    const QString question = QStringLiteral("Эту карточку уже изменил другой пользователь (k8w@");
    for (const Case& c : cases) {
        for (const MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
            SCOPED_TRACE(std::string(c.what) + (answer == MsgAnswer::Yes ? ", Yes" : ", No"));
            showKeyedCardOfAFreshBase();
            for (int q = 0; q < c.ownQuestions; ++q) boxes.answer(MsgAnswer::Yes);  // "delete?"
            boxes.answer(answer);
            c.act();
            EXPECT_EQ(questionsAsked(question), 1);
            const MessageRequest* asked = nullptr;
            for (const MessageRequest& box : boxes.shown())
                if (box.text.startsWith(question)) asked = &box;
            ASSERT_NE(asked, nullptr);
            EXPECT_EQ(asked->title, QStringLiteral("Внимание"));
            EXPECT_TRUE(asked->text.endsWith(QStringLiteral(").\nЗаписать ваши изменения поверх?")));
            EXPECT_FALSE(window().isEditMode());
            const Card now = stored(3);
            if (answer == MsgAnswer::Yes) {
                c.afterYes(now);
            } else {
                EXPECT_EQ(fieldText(now.objectName), QStringLiteral("Их объект"));
                EXPECT_EQ(now.keys[0][0].state, 1);
                EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Их объект")) << "their version is shown";
                EXPECT_EQ(cell(4, 3), QStringLiteral("Их объект"));
            }
            closeWindows();
        }
    }
}

// Another user's change beside what a save or a key change writes (a
// programming result; the card beside a key) asks nothing: the change is
// written over the newest version and both are kept. Which parts overlap is
// the card's own table; this proves each change goes through it.
TEST_F(SharedBaseWindowTest, AChangeBesideWhatTheUserChangesAsksNothingAndKeepsBoth) {
    struct Case {
        const char* what;
        std::function<void()> act;
        std::function<void(const Card&)> expect;
    };
    const Case cases[] = {
        {"save beside a result",
         [&] {
             startEditing();
             type("Edit1", QStringLiteral("Мой объект"));
             ASSERT_TRUE(other_->recordProgramming(3, 0x2222, 46000.5).ok());
             click("BitBtn2");
         },
         [](const Card& c) {
             EXPECT_EQ(fieldText(c.objectName), QStringLiteral("Мой объект"));
             EXPECT_EQ(+c.progId, 0x2222);
         }},
        {"key beside the card",
         [&] {
             boxes.answer(MsgAnswer::Yes);  // "delete the key?"
             inKeyTable([&](TkeysForm& keys) {
                 selectKeySlot(keys, 1, 0);
                 theyChange(3, [](Card& c) { setFieldText(c.objectName, QStringLiteral("Их объект")); });
                 keys.keyDelBtnClick();
             });
         },
         [](const Card& c) {
             EXPECT_EQ(c.keys[0][0].state, 0);
             EXPECT_EQ(fieldText(c.objectName), QStringLiteral("Их объект"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        showKeyedCardOfAFreshBase();
        c.act();
        EXPECT_EQ(questionsAsked(kCardConflictQuestion.left(kCardConflictQuestion.indexOf(QLatin1Char('%')))), 0);
        EXPECT_FALSE(window().isEditMode());
        const Card now = stored(3);
        c.expect(now);
        EXPECT_EQ(std::memcmp(&now, &window().cardTable().cards[3], sizeof(Card)), 0) << "the window shows both";
        closeWindows();
    }
}

// The window records a programming result on the newest version: another
// user's edit saved while the device was written is kept beside it.
TEST_F(SharedBaseWindowTest, AResultRecordedWhileAnotherUserEditsTheCardKeepsBoth) {
    Card card = usedCard(32001, QStringLiteral("12"), QStringLiteral("Склад"));
    card.progId = 0x1111;
    seed(0, card);
    std::promise<void> edited;
    const std::shared_future<void> gate = edited.get_future().share();
    device.setImageStoredListener([gate](const std::vector<std::uint8_t>&) { gate.wait_for(kHang); });
    auto release = qScopeGuard([&] { edited.set_value(); });
    openShared();
    click("ProgBtn");
    theyChange(0, [](Card& c) { setFieldText(c.address, QStringLiteral("Новый адрес")); });
    edited.set_value();
    release.dismiss();
    ASSERT_TRUE(waitForWorker());
    ASSERT_EQ(boxes.last().text, link::kProgDoneText);

    const std::vector<std::uint8_t> image = device.storedImage();
    ASSERT_EQ(image.size(), kImageSize);
    const Card now = stored(0);
    EXPECT_EQ(+now.progId, static_cast<std::uint16_t>(image[583] | image[584] << 8));
    EXPECT_EQ(+now.prevProgId, 0x1111);
    EXPECT_GT(+now.progDate, 0.001);
    EXPECT_EQ(fieldText(now.address), QStringLiteral("Новый адрес"));
    EXPECT_EQ(std::memcmp(&now, &window().cardTable().cards[0], sizeof(Card)), 0) << "the window has both too";
    EXPECT_EQ(cell(1, 5), CardRowTexts(now)[4]);
}

// The server went away while the device was being written: the result is
// kept and reaches the base with the next action (here the close).
TEST_F(SharedBaseWindowTest, AResultTheServerCouldNotTakeIsWrittenLater) {
    Card card = usedCard(32001, QStringLiteral("12"), QStringLiteral("Склад"));
    card.progId = 0x1111;
    seed(0, card);
    std::promise<void> stopped;
    const std::shared_future<void> gate = stopped.get_future().share();
    device.setImageStoredListener([gate](const std::vector<std::uint8_t>&) { gate.wait_for(kHang); });
    auto release = qScopeGuard([&] { stopped.set_value(); });
    openShared();
    click("ProgBtn");
    server().stop();
    auto restart = qScopeGuard([] { server().start(); });
    stopped.set_value();
    release.dismiss();
    ASSERT_TRUE(waitForWorker());
    // The result waits in this computer's journal; the loss is told once.
    ASSERT_EQ(boxes.shown().size(), 2);
    expectConnectionLostBox(0);
    EXPECT_EQ(boxes.shown()[1].text, link::kProgDoneText);
    EXPECT_EQ(window().cardBase().store().localState().waitingResults, 1);
    const std::uint16_t recorded = window().cardTable().cards[0].progId;
    EXPECT_NE(recorded, 0x1111) << "the window shows the result";
    server().start();
    restart.dismiss();
    EXPECT_TRUE(window().close());
    const Card now = stored(0);
    EXPECT_EQ(+now.progId, recorded);
    EXPECT_EQ(+now.prevProgId, 0x1111);
}

// A change saved in one window reaches another within moments: its grid
// row follows, and the card it shows unless it is editing that card, whose
// typed text is kept until its own save asks.
TEST_F(SharedBaseWindowTest, AChangeInOneWindowReachesAnother) {
    for (const bool secondEditing : {false, true}) {
        SCOPED_TRACE(secondEditing ? "second window editing the card" : "second window viewing the card");
        freshBase();
        seed(0, usedCard(100, QStringLiteral("N-1"), QStringLiteral("Старый")));
        openShared();  // the second window, under test
        if (secondEditing) {
            startEditing();
            type("Edit1", QStringLiteral("Набрано"));
        }
        second_ = sharedWindow();  // the first one, where the change is made
        second_->BitBtn1Click();
        second_->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("Новый"));
        second_->BitBtn2Click();
        ASSERT_FALSE(second_->isEditMode());

        EXPECT_TRUE(waitFor([this] { return cell(1, 3) == QStringLiteral("Новый"); })) << cell(1, 3).toStdString();
        if (!secondEditing) {
            EXPECT_TRUE(waitFor([this] { return edit("Edit1")->text() == QStringLiteral("Новый"); }));
        } else {
            EXPECT_TRUE(window().isEditMode());
            EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Набрано"));
            boxes.answer(MsgAnswer::No);
            click("BitBtn2");
            EXPECT_EQ(questionsAsked(QStringLiteral("Эту карточку уже изменил")), 1);
            EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Новый"));
        }
        EXPECT_EQ(fieldText(stored(0).objectName), QStringLiteral("Новый"));
        closeWindows();
    }
}

// A code another user took a moment ago, before this window heard of it:
// the base refuses the save, which the window reports as its own check does.
TEST_F(SharedBaseWindowTest, ACodeTakenMeanwhileIsRefusedWithTheWindowsOwnText) {
    openShared();
    startEditing();
    fillValidCard(QStringLiteral("777"));
    seed(5, usedCard(777, QStringLiteral("N-6"), QStringLiteral("Чужой")));
    ASSERT_FALSE(isCardInUse(window().cardTable().cards[5])) << "the window's own check cannot know";
    EXPECT_EQ(saveAndGetWarning(), QStringLiteral("Такой код УО уже есть в базе"));
    EXPECT_EQ(edit("CodeUoo")->text(), QStringLiteral("777"));
    EXPECT_TRUE(cell(1, 1).isEmpty());
    EXPECT_FALSE(isCardInUse(stored(0)));
}

TEST_F(SharedBaseWindowTest, ServerGoneDuringASaveKeepsTheEditAndTheNextSaveAfterItsReturnWorks) {
    seed(0, usedCard(100, QStringLiteral("N-1"), QStringLiteral("Старый")));
    openShared();
    startEditing();
    type("Edit1", QStringLiteral("Набрано"));
    server().stop();
    auto restart = qScopeGuard([] { server().start(); });
    click("BitBtn2");
    expectConnectionLostBox();
    EXPECT_TRUE(window().isEditMode());
    EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Набрано"));
    EXPECT_EQ(cell(1, 3), QStringLiteral("Старый"));
    server().start();
    restart.dismiss();
    boxes.clear();
    click("BitBtn2");
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_FALSE(window().isEditMode());
    EXPECT_EQ(fieldText(stored(0).objectName), QStringLiteral("Набрано"));
    EXPECT_EQ(cell(1, 3), QStringLiteral("Набрано"));
}

// Without the server the window goes on with this computer's copy: the
// device is programmed, its result waits in the journal (the status bar
// counts it), card changes wait. The server back, the window finds it by
// itself and sends the result; the edit kept meanwhile is then saved without
// a question, since only the window's own result moved the card.
TEST_F(SharedBaseWindowTest, ServerGoneBeforeProgrammingProgramsFromTheCopy) {
    seed(0, usedCard(32001, QStringLiteral("12"), QStringLiteral("Склад")));
    openShared();
    server().stop();
    auto restart = qScopeGuard([] { server().start(); });
    click("ProgBtn");
    ASSERT_TRUE(waitForWorker());
    EXPECT_EQ(device.imagesStored(), 1);
    ASSERT_EQ(boxes.shown().size(), 2);  // the loss, told once, then the result
    expectConnectionLostBox(0);
    EXPECT_EQ(boxes.last().text, link::kProgDoneText);
    EXPECT_EQ(window().cardBase().store().localState().waitingResults, 1);
    EXPECT_TRUE(statusText(window()).endsWith(kResultsWaitingStatus.arg(1))) << statusText(window()).toStdString();
    window().grab().save(QStringLiteral(K8W_PICTURE_DIR "/main_window_offline_waiting.png"));
    const std::uint16_t recorded = window().cardTable().cards[0].progId;
    startEditing();  // a change is refused while the server cannot be reached
    type("Edit1", QStringLiteral("Набрано"));
    click("BitBtn2");
    EXPECT_EQ(boxes.last().text, kCardBaseOfflineText);
    EXPECT_TRUE(window().isEditMode()) << "what was typed is kept";

    server().start();
    restart.dismiss();
    ASSERT_TRUE(waitFor([this] { return window().cardBase().link() == WindowCardBase::Link::Connected; }));
    EXPECT_EQ(window().cardBase().waitingResults(), 0);
    EXPECT_EQ(statusText(window()), kSharedBaseStatus.arg(server().folder() + QLatin1Char('/') + db_, kBaseConnected));
    EXPECT_EQ(+stored(0).progId, recorded);
    boxes.clear();
    click("BitBtn2");
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_FALSE(window().isEditMode());
    const Card now = stored(0);
    EXPECT_EQ(fieldText(now.objectName), QStringLiteral("Набрано"));
    EXPECT_EQ(+now.progId, recorded);
}

// Started while the server cannot be reached, the window offers this
// computer's copy (No ends the program); on the copy a device is programmed,
// and when the server comes back the window finds it by itself.
TEST_F(SharedBaseWindowTest, StartedOnTheCopyTheWindowReturnsToTheServerByItself) {
    seed(0, usedCard(32001, QStringLiteral("12"), QStringLiteral("Склад")));
    openShared();  // leaves this computer's copy
    closeWindows();
    server().stop();
    auto restart = qScopeGuard([] { server().start(); });
    const QStringList arguments{QStringLiteral("k8w-prog"), QStringLiteral("--base"), uri()};
    CardBaseLock lock(kCardFileName);
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        boxes.clear();
        boxes.answer(answer);
        std::unique_ptr<CardStore> store = OpenStartupCardBase(arguments, true, lock);
        ASSERT_EQ(boxes.shown().size(), 1);
        EXPECT_EQ(boxes.last().title, kAttention);
        EXPECT_EQ(boxes.last().buttons, MsgButtons::YesNo);
        EXPECT_TRUE(boxes.last().text.startsWith(kOpenBaseCopyQuestion.section(QLatin1Char('%'), 0, 0)));
        EXPECT_EQ(store != nullptr, answer == MsgAnswer::Yes);
        if (!store) continue;
        window_ = std::make_unique<TForm1>(std::move(store), hardware);
        window_->show();
    }
    EXPECT_EQ(window().cardBase().link(), WindowCardBase::Link::Offline);
    boxes.clear();
    click("ProgBtn");
    ASSERT_TRUE(waitForWorker());
    EXPECT_EQ(boxes.last().text, link::kProgDoneText);
    EXPECT_EQ(window().cardBase().waitingResults(), 1);
    const std::uint16_t recorded = window().cardTable().cards[0].progId;

    server().start();
    restart.dismiss();
    ASSERT_TRUE(waitFor([this] { return window().cardBase().link() == WindowCardBase::Link::Connected; }));
    EXPECT_EQ(window().cardBase().waitingResults(), 0);
    EXPECT_EQ(+stored(0).progId, recorded);
    other_ = openStore();  // the other user's session began before the restart
    theyChange(0, [](Card& c) { setFieldText(c.address, QStringLiteral("Новый адрес")); });
    EXPECT_TRUE(waitFor([this] { return fieldText(window().cardTable().cards[0].address) == QStringLiteral("Новый адрес"); }))
        << "it listens again";
}

// A user who may only read the base sees the changing controls disabled
// with the reason, instead of a refusal after the click; viewing still works.
TEST_F(SharedBaseWindowTest, ARoleWithoutWriteRightSeesTheChangingControlsDisabledWithTheReason) {
    server().sql(db_, QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'viewer') "
                                     "THEN CREATE ROLE viewer LOGIN; END IF; END $$; "
                                     "GRANT SELECT ON k8w_cards, k8w_card_history TO viewer"));
    Card card = usedCard(32001, QStringLiteral("12"), QStringLiteral("Склад"));
    card.modeFlags = kModePartSupport;
    card.keys[0][0] = installedKey();
    seed(0, card);
    openShared(QStringLiteral("viewer"));
    EXPECT_EQ(cell(1, 3), QStringLiteral("Склад"));
    const auto expectRefused = [](QWidget* control) {
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_EQ(control->toolTip(), kCardBaseReadOnlyText) << control->objectName().toStdString();
    };
    for (const char* name : {"BitBtn1", "BitBtn2", "BitBtn3", "ProgBtn"}) expectRefused(find(name));
    for (const char* name : {"BitBtn1", "ProgBtn"}) QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton);
    inKeyTable([&](TkeysForm& keys) {
        for (const char* name : {"keyEnterBtn", "keyManualBtn", "keyDelBtn"})
            expectRefused(keys.findChild<QWidget*>(QString::fromLatin1(name)));
        selectKeySlot(keys, 1, 0);
        QTest::mouseClick(keys.findChild<QPushButton*>(QStringLiteral("keyDelBtn")), Qt::LeftButton);
    });
    for (const char* name : {"BitBtn1", "ProgBtn"}) expectRefused(find(name));  // still, after the key table
    EXPECT_TRUE(find("SpeedButton1")->isEnabled()) << "reading a device changes no card";
    EXPECT_TRUE(find("HistoryBtn")->isEnabled()) << "the history can be viewed";
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_FALSE(window().isEditMode());
    EXPECT_FALSE(window().hasDeviceWorker());
    EXPECT_TRUE(device.received().empty());
    EXPECT_EQ(stored(0).keys[0][0].state, 1);
}

// An unreachable base, named on the command line or in k8w.conf, ends the
// program after saying why, having created nothing; a reachable one starts
// without the file's lock.
TEST_F(SharedBaseWindowTest, StartUpOnAnUnreachableBaseEndsCreatingNothing) {
    const QString unreachable = QStringLiteral("postgresql://k8w:secret-word@/k8w?host=%1&port=5432")
                                    .arg(dir.file(QStringLiteral("no-server-here")));
    struct Case {
        const char* what;
        QStringList arguments;
        QString config;  // url in k8w.conf, or none
        bool starts;
    };
    const Case cases[] = {
        {"--base", {QStringLiteral("k8w-prog"), QStringLiteral("--base"), unreachable}, {}, false},
        {"k8w.conf", {QStringLiteral("k8w-prog")}, unreachable, false},
        {"k8w.conf of a running server", {QStringLiteral("k8w-prog")}, uri(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(QStringLiteral("k8w.conf"));
        if (!c.config.isEmpty()) {
            QSettings conf(QStringLiteral("k8w.conf"), QSettings::IniFormat);
            conf.setValue(QStringLiteral("base/url"), c.config);
        }
        boxes.clear();
        CardBaseLock lock(kCardFileName);
        const std::unique_ptr<CardStore> store = OpenStartupCardBase(c.arguments, true, lock);
        const QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        EXPECT_EQ(left, c.config.isEmpty() ? QStringList() : QStringList{QStringLiteral("k8w.conf")});
        if (c.starts) {
            ASSERT_TRUE(store);
            EXPECT_TRUE(store->keepsHistory());  // the server's base, not a file
            EXPECT_TRUE(boxes.shown().isEmpty());
            continue;
        }
        EXPECT_FALSE(store);
        ASSERT_EQ(boxes.shown().size(), 1);
        expectConnectionLostBox();
        EXPECT_FALSE(boxes.last().text.contains(QStringLiteral("secret-word")));
    }
}

} // namespace
} // namespace k8w::test
