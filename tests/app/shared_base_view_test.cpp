// What the main window shows of a shared base: its name and state in the
// status bar, who changed the card shown, the card's history and the restore
// of a version; and the key table's overwrite question on the newest card.
#include "shared_base_window_fixture.h"

#include "app/card_base_choice.h"
#include "app/tmanualkeydlg.h"

#include <QApplication>
#include <QLabel>
#include <QScopeGuard>
#include <QStatusBar>

namespace k8w::test {
namespace {

// Hosts and database, never a password; the state follows the calls: with
// the server gone the window works on this computer's copy ("нет связи")
// until a change reaches the server again. A message of the moment shows
// beside it.
TEST_F(SharedBaseWindowTest, TheStatusBarNamesTheBaseAndFollowsItsState) {
    for (int slot = 0; slot < 3; ++slot) seed(slot, usedCard(100 + slot, QStringLiteral("N"), QStringLiteral("Объект")));
    openShared();
    TForm1& w = window();
    const QString name = server().folder() + QLatin1Char('/') + db_;
    EXPECT_EQ(statusText(w), kSharedBaseStatus.arg(name, kBaseConnected));
    w.statusBar()->showMessage(QStringLiteral("Связь с общей базой…"));
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("BaseStatusLabel"))->isVisible());
    w.grab().save(QStringLiteral(K8W_PICTURE_DIR "/main_window_shared.png"));
    w.statusBar()->clearMessage();

    server().stop();
    auto restart = qScopeGuard([] { server().start(); });
    clickRow(2);  // the first look at a card asks who changed it
    EXPECT_EQ(statusText(w), kSharedBaseStatus.arg(name, kBaseOffline)) << statusText(w).toStdString();
    server().start();
    restart.dismiss();
    clickRow(3);
    startEditing();
    type("Edit1", QStringLiteral("Снова на сервере"));
    click("BitBtn2");
    EXPECT_FALSE(window().isEditMode());
    EXPECT_EQ(statusText(w), kSharedBaseStatus.arg(name, kBaseConnected)) << statusText(w).toStdString();
}

TEST_F(SharedBaseWindowTest, TheStatusBarNeverShowsAPassword) {
    QString error;
    auto store = OpenCardStore(uri() + QStringLiteral("&password=secret-word"), CardFileAccess::Held, &error);
    ASSERT_TRUE(store) << error.toStdString();
    window_ = std::make_unique<TForm1>(std::move(store), hardware);
    EXPECT_FALSE(statusText(window()).contains(QStringLiteral("secret")));
    EXPECT_TRUE(statusText(window()).contains(db_));
}

// Who changed the card shown and when, as the base says; a card that moves
// shows its new author.
TEST_F(SharedBaseWindowTest, TheCardShowsWhoChangedItAndWhen) {
    seed(0, usedCard(100, QStringLiteral("N-1"), QStringLiteral("Склад")));
    seed(1, usedCard(101, QStringLiteral("N-2"), QStringLiteral("Магазин")));
    openShared();
    const auto label = [this] { return find<QLabel>("ChangedLabel")->text(); };
    EXPECT_EQ(label(), CardChangedText(other_->readCard(0).current));
    EXPECT_TRUE(label().startsWith(QStringLiteral("Изменено: k8w@")));
    clickRow(2);
    EXPECT_EQ(label(), CardChangedText(other_->readCard(1).current));
    theyChange(1, [](Card& c) { setFieldText(c.objectName, QStringLiteral("Их")); });
    EXPECT_TRUE(waitFor([&] { return label() == CardChangedText(other_->readCard(1).current); }));
    clickRow(3);
    EXPECT_TRUE(label().isEmpty()) << "a free slot";
}

// The history lists the card's versions; a chosen one is restored as a
// change of its own, asking first when the card moved since it was shown.
TEST_F(SharedBaseWindowTest, TheHistoryRestoresAChosenVersionAskingWhenTheCardMoved) {
    struct Case {
        const char* what;
        bool theyMoveIt;
        MsgAnswer answer;
        QString shown;  // object name afterwards, in the base and the window
    };
    const Case cases[] = {
        {"restore", false, MsgAnswer::Yes, QStringLiteral("Первый")},
        {"moved meanwhile, Yes", true, MsgAnswer::Yes, QStringLiteral("Первый")},
        {"moved meanwhile, No", true, MsgAnswer::No, QStringLiteral("Третий")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        freshBase();
        seed(0, usedCard(100, QStringLiteral("N-1"), QStringLiteral("Первый")));
        theyChange(0, [](Card& card) { setFieldText(card.objectName, QStringLiteral("Второй")); });
        openShared();
        ASSERT_TRUE(find("HistoryBtn")->isEnabled());
        std::vector<CardVersion> versions;
        ASSERT_TRUE(other_->history(0, versions).ok());
        const CardVersion second = versions.front();
        boxes.clear();
        if (c.theyMoveIt) boxes.answer(c.answer);
        THistoryDialog& history = window().historyDialog();
        QStringList firstRow;
        int rows = 0;
        onceShown(history, [&] {
            auto* table = history.findChild<QTableWidget*>(QStringLiteral("versionsTable"));
            rows = table->rowCount();
            for (int col = 0; col < table->columnCount(); ++col) firstRow << table->item(0, col)->text();
            history.grab().save(QStringLiteral(K8W_PICTURE_DIR "/history_dialog.png"));
            if (c.theyMoveIt) theyChange(0, [](Card& card) { setFieldText(card.objectName, QStringLiteral("Третий")); });
            table->setCurrentCell(rows - 1, 0);  // the oldest: "Первый"
            QTest::mouseClick(history.findChild<QPushButton*>(QStringLiteral("restoreBtn")), Qt::LeftButton);
            if (history.isVisible()) history.reject();
        });
        click("HistoryBtn");
        ASSERT_EQ(rows, 2);
        EXPECT_EQ(firstRow, (QStringList{QStringLiteral("2"), CardChangeTimeText(second.changedAt), second.changedBy,
                                         QStringLiteral("сохранение"), QStringLiteral("100"),
                                         QStringLiteral("Второй")}));
        EXPECT_EQ(questionsAsked(QStringLiteral("Эту карточку уже изменил другой пользователь")), c.theyMoveIt ? 1 : 0);
        EXPECT_EQ(fieldText(stored(0).objectName), c.shown);
        EXPECT_EQ(cell(1, 3), c.shown);
        EXPECT_EQ(edit("Edit1")->text(), c.shown);
        ASSERT_TRUE(other_->history(0, versions).ok());
        EXPECT_EQ(versions.front().kind, c.answer == MsgAnswer::Yes ? QStringLiteral("restore") : QStringLiteral("save"));
        closeWindows();
    }
}

// The key table asks "overwrite?" on the newest version of the card: a key
// another user set after the window showed the card is asked about.
TEST_F(SharedBaseWindowTest, TheKeyOverwriteQuestionIsDecidedOnTheNewestCard) {
    Card card = usedCard(100, QStringLiteral("N-4"), QStringLiteral("Объект"));
    card.modeFlags = kModePartSupport;
    seed(0, card);
    openShared();
    boxes.answer(MsgAnswer::No);
    inKeyTable([&](TkeysForm& keys) {
        selectKeySlot(keys, 1, 0);
        const CardVersion newest = other_->readCard(0).current;
        ASSERT_TRUE(other_->setKey(0, 0, 0, installedKey(), newest.revision).ok());  // no event runs before the click
        // Were the question not asked, the manual entry would open: it is closed unused.
        TmanualKeyDlg* manual = window().findChild<TmanualKeyDlg*>();
        ASSERT_NE(manual, nullptr);
        onceShown(*manual, [manual] { static_cast<QDialog*>(manual)->reject(); });
        keys.keyManualBtnClick();
    });
    EXPECT_EQ(questionsAsked(QStringLiteral("Ключ уже установлен. Хотите перезаписать текущий ключ?")), 1);
    EXPECT_EQ(stored(0).keys[0][0].keyCode[0], 0x42);
    EXPECT_EQ(window().cardTable().cards[0].keys[0][0].keyCode[0], 0x42) << "the window has their key";
}

} // namespace
} // namespace k8w::test
