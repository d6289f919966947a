// The window's deletions are backed up, and the import checks a card as the
// window's save does.
#include "window_test_support.h"

#include "store/card_backup.h"
#include "store/card_restore.h"
#include "common/cp1251.h"
#include "editor/card_editor_values.h"

#include <cstring>

namespace k8w::test {
namespace {

using WindowBackupTest = WindowTest;

TEST_F(WindowBackupTest, ADeletionMadeInTheWindowIsRestorableFromTheBackupFolder) {
    table->cards[3] = usedCard(100, QStringLiteral("A"), QStringLiteral("B"));
    table->cards[4] = usedCard(200, QStringLiteral("C"), QStringLiteral("D"));
    writeDatabase(*table);
    open();
    clickRow(4);
    startEditing();
    boxes.answer(MsgAnswer::Yes);
    click("BitBtn3");
    ASSERT_FALSE(isCardInUse(readDatabase()->cards[3]));
    const std::vector<CardBackup> backups = ListCardBackups(kCardFileName);
    ASSERT_EQ(backups.size(), 1u);

    window_.reset();  // the window holds the base while it runs
    const std::vector<int> rows = {3};
    ASSERT_EQ(RestoreCardFile(kCardFileName, backups.front().path, &rows, 0).status, CardUpdateStatus::Saved);
    const auto disk = readDatabase();
    EXPECT_EQ(std::memcmp(&disk->cards[3], &table->cards[3], sizeof(Card)), 0);
    EXPECT_EQ(+disk->cards[4].codeUoo, 200u);
}

TEST_F(WindowBackupTest, TheImportSeesACardAsTheWindowShowsIt) {
    Card card = usedCard(100, QStringLiteral("A"), QStringLiteral("B"));
    card.cordType[0] = 4;  // the entry delay is enabled
    card.timePass = 30;
    card.balFlags = 1;     // balance 0 is shown as 10
    card.smsFlags = 3;
    card.modeFlags = 0x10;
    setFieldText(card.smsNumber1, QStringLiteral("89001234567"));
    setFieldText(card.ipUpdate, QStringLiteral("upd"));
    setFieldText(card.portUpdate, QStringLiteral("2000"));
    setFieldText(card.portParams, QStringLiteral("3000"));
    table->cards[0] = card;
    writeDatabase(*table);
    open();
    clickRow(1);
    startEditing();
    CardEditorValues shown = window().editorValues();
    const CardEditorValues derived = CardEditorValuesOf(card, true);
    // The checks pass over check boxes and labels of the tab, unless one were
    // named like a port or a PIN field.
    shown.mainTabFields.removeIf([](const MainTabField& f) {
        return !f.plainEdit && !f.name.contains(QStringLiteral("Port")) && !f.name.contains(QStringLiteral("Pin"));
    });
    ASSERT_EQ(derived.mainTabFields.size(), shown.mainTabFields.size());
    for (qsizetype i = 0; i < shown.mainTabFields.size(); ++i) {
        const MainTabField& a = shown.mainTabFields[i];
        const MainTabField& b = derived.mainTabFields[i];
        EXPECT_EQ(std::tie(a.name, a.hint, a.text, a.enabled, a.plainEdit),
                  std::tie(b.name, b.hint, b.text, b.enabled, b.plainEdit))
            << a.name.toStdString();
    }
    EXPECT_EQ(shown.cardNumber, derived.cardNumber);
    EXPECT_EQ(shown.codeUoo, derived.codeUoo);
    EXPECT_EQ(std::memcmp(shown.cordType, derived.cordType, sizeof shown.cordType), 0);
    EXPECT_EQ(std::memcmp(shown.cordPart, derived.cordPart, sizeof shown.cordPart), 0);
    EXPECT_EQ(std::tie(shown.balEnable, shown.balCritical, shown.sendSms1, shown.sendSms2, shown.smsNumber1,
                       shown.smsNumber2, shown.timePassEnabled, shown.timePass, shown.allowUpdate, shown.ipUpdate,
                       shown.portUpdate, shown.portParams),
              std::tie(derived.balEnable, derived.balCritical, derived.sendSms1, derived.sendSms2, derived.smsNumber1,
                       derived.smsNumber2, derived.timePassEnabled, derived.timePass, derived.allowUpdate,
                       derived.ipUpdate, derived.portUpdate, derived.portParams));
}

} // namespace
} // namespace k8w::test
