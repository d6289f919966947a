#pragma once
#include <QStringList>

namespace k8w::cli {

// Exit statuses of k8w-cli.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;     // the device exchange failed
constexpr int kExitBadInput = 2;   // bad arguments, missing or refused database, bad row
constexpr int kExitVerifyMismatch = 3;  // the device read back differs from what was written
constexpr int kExitNotRecorded = 4;     // the device was programmed; its result could not be recorded
constexpr int kExitInterrupted = 130;   // stopped with Ctrl-C

// How long a writing command waits for another command's rewrite to end.
constexpr int kLockWaitMs = 10000;

// Each command gets the arguments after its name.
int runCards(const QStringList& args);
int runImage(const QStringList& args);
int runProgram(const QStringList& args);
int runRead(const QStringList& args);
int runDiff(const QStringList& args);
int runSim(const QStringList& args);
int runKeys(const QStringList& args);
int runKeyAdd(const QStringList& args);
int runKeyRead(const QStringList& args);
int runKeyDel(const QStringList& args);
int runStatus(const QStringList& args);
int runSet(const QStringList& args);
int runWatch(const QStringList& args);

} // namespace k8w::cli
