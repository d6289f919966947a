#pragma once
// The card base tests' folder: a database of two cards written in a
// temporary working folder before each test.
#include "store/card_base.h"
#include "store/card_file.h"
#include "cards/card_table.h"
#include "support/recording_message_boxes.h"
#include "support/temp_workdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace k8w {

inline QByteArray readFile(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a save leaves beside the database, apart from its backup folder.
inline QStringList folderEntries() {
    QStringList entries = QDir::current().entryList(QDir::Files | QDir::Dirs | QDir::System | QDir::NoDotAndDotDot,
                                                    QDir::Name);
    entries.removeOne(QStringLiteral("backup"));
    return entries;
}

class CardBaseTest : public ::testing::Test {
protected:
    test::TempWorkdir dir;
    test::RecordingMessageBoxes boxes;
    std::unique_ptr<CardTable> table = CardTable::create();

    void SetUp() override {
        table->cards[0].codeUoo = 100;
        table->cards[0].changeDate = 46000.0;
        table->cards[1].codeUoo = 200;
        table->cards[1].changeDate = 46000.0;
        ASSERT_TRUE(save());
    }
    void TearDown() override { setCardSaveHook({}); }
    bool save() { return SaveCardTable(*table, kCardFileName); }
    std::unique_ptr<CardTable> loaded() {
        auto fresh = CardTable::create();
        EXPECT_TRUE(LoadCardTable(*fresh, kCardFileName));
        return fresh;
    }
};

} // namespace k8w
