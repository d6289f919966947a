#pragma once

namespace k8w::cli {

class Options;

// Exit statuses of k8w-cli.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;     // the device exchange failed
constexpr int kExitBadInput = 2;   // bad arguments, missing or refused database, bad row
constexpr int kExitVerifyMismatch = 3;  // the device read back differs from what was written
constexpr int kExitNotRecorded = 4;     // the device was programmed; its result could not be recorded
constexpr int kExitInterrupted = 130;   // stopped with Ctrl-C

// The handlers of the commands in cli_command_table.cpp; each gets its
// command line parsed against its entry there.
int runCards(const Options& options);
int runImage(const Options& options);
int runProgram(const Options& options);
int runRead(const Options& options);
int runDiff(const Options& options);
int runSim(const Options& options);
int runKeys(const Options& options);
int runKeyAdd(const Options& options);
int runKeyRead(const Options& options);
int runKeyDel(const Options& options);
int runStatus(const Options& options);
int runSet(const Options& options);
int runWatch(const Options& options);
int runExport(const Options& options);
int runImport(const Options& options);
int runDecode(const Options& options);
int runBackups(const Options& options);
int runRestore(const Options& options);
int runBaseInit(const Options& options);
int runBaseCopy(const Options& options);
int runHistory(const Options& options);
int runSync(const Options& options);

} // namespace k8w::cli
