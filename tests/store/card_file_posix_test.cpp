// A save on POSIX killed in the middle of writing, in a forked process.
#include "card_file_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

namespace k8w {
namespace {

TEST_F(CardFileTest, SaveKilledMidwayLeavesTheOldFileReadable) {
    table->cards[0] = numberedCard(0);
    ASSERT_TRUE(save());
    const QByteArray before = readFile(kCardFileName);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The process dies in the middle of writing, as on a crash or power cut.
        setCardSaveHook([](CardSaveStep, qint64 written) {
            if (written >= 6'000'000) _exit(0);
            return true;
        });
        table->cards[0] = numberedCard(9);
        save();
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    EXPECT_EQ(readFile(kCardFileName), before);
    ASSERT_TRUE(load());
    EXPECT_EQ(+table->cards[0].codeUoo, 1000u);
}

} // namespace
} // namespace k8w
