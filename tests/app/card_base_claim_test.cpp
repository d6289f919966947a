// The window program's claim of its database at start-up.
#include "app/card_base_claim.h"

#include "store/card_base.h"
#include "store/card_file.h"
#include "support/recording_message_boxes.h"
#include "support/temp_workdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace k8w::test {
namespace {

class CardBaseClaim : public ::testing::Test {
protected:
    TempWorkdir dir;
    RecordingMessageBoxes boxes;
};

TEST_F(CardBaseClaim, FreeDatabaseIsHeldForTheRunWithoutAWord) {
    CardBaseLock lock(kCardFileName);
    EXPECT_TRUE(ClaimCardBase(lock, kCardFileName));
    EXPECT_TRUE(lock.isHeld());
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(CardBaseClaim, SecondCopyIsToldAndEndsWithoutTouchingTheFile) {
    {
        QFile file(kCardFileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1310, 'x'));
    }
    CardBaseLock firstCopy(kCardFileName);
    ASSERT_TRUE(ClaimCardBase(firstCopy, kCardFileName));

    CardBaseLock secondCopy(kCardFileName);
    EXPECT_FALSE(ClaimCardBase(secondCopy, kCardFileName, 0));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().title, QStringLiteral("Внимание"));
    EXPECT_EQ(boxes.last().text, QStringLiteral("База данных ProgInfo_10.K8W открыта в другой копии программы.\n"
                                                "Закройте её и запустите программу снова."));
    EXPECT_EQ(boxes.last().buttons, MsgButtons::Ok);
    EXPECT_EQ(QDir::current().entryList(QDir::Files), (QStringList{kCardFileName, kCardFileName + ".lock"}));
}

TEST_F(CardBaseClaim, PathThatIsNoFileEndsTheProgramWithoutBlocking) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(kCardFileName).constData(), 0600), 0);
    CardBaseLock lock(kCardFileName);
    EXPECT_FALSE(ClaimCardBase(lock, kCardFileName));
    EXPECT_FALSE(lock.isHeld());
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().title, QStringLiteral("Внимание"));
    EXPECT_TRUE(boxes.last().text.startsWith(QStringLiteral("ProgInfo_10.K8W не является файлом базы данных")));
}

} // namespace
} // namespace k8w::test
