#pragma once
#include <QStringList>

namespace k8w::cli {

// Exit statuses of k8w-cli.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;     // the device exchange failed
constexpr int kExitBadInput = 2;   // bad arguments, missing or refused database, bad row

// Each command gets the arguments after its name.
int runCards(const QStringList& args);
int runImage(const QStringList& args);
int runProgram(const QStringList& args);
int runRead(const QStringList& args);
int runSim(const QStringList& args);

} // namespace k8w::cli
