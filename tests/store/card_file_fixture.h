#pragma once
// The card file tests' numbered cards and folder.
#include "store/card_file.h"
#include "cards/card_table.h"
#include "common/cp1251.h"
#include "support/recording_message_boxes.h"
#include "support/temp_workdir.h"

#include <QFile>

#include <gtest/gtest.h>

namespace k8w {

inline Card numberedCard(int n) {
    Card card{};
    card.codeUoo = static_cast<std::uint32_t>(1000 + n);
    setFieldText(card.objectName, QStringLiteral("Объект %1").arg(n));
    card.changeDate = 46000.0 + n;
    return card;
}

inline QByteArray records(int count, int firstNumber = 0) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const Card card = numberedCard(firstNumber + i);
        bytes.append(reinterpret_cast<const char*>(&card), sizeof card);
    }
    return bytes;
}

inline void writeFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CardFileTest : public ::testing::Test {
protected:
    test::TempWorkdir dir;
    test::RecordingMessageBoxes boxes;
    std::unique_ptr<CardTable> table = CardTable::create();
    CardLoadOutcome outcome = CardLoadOutcome::Loaded;
    QString saveError;  // why the last save() failed

    bool load() {
        return LoadCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate,
                            &outcome);
    }
    bool save() {
        saveError = WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate);
        return saveError.isEmpty();
    }
    int slotsInUse() const {
        int n = 0;
        for (const Card& card : table->cards) n += isCardInUse(card) ? 1 : 0;
        return n;
    }
};

} // namespace k8w
