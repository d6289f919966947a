#pragma once
#include "app/app_hardware.h"

namespace k8w {

// Where the window program's cards are: always the database file (the demo
// edition), or the base chosen by --base or k8w.conf, the file without either.
enum class CardBaseSource { FileOnly, Chosen };

// The program entry of k8w-prog and of its demo edition: checks the text
// codec, claims the database file or connects to the shared base, creates
// the windows, runs the message loop and waits for workers that outlived
// the main window.
int RunMainWindow(int argc, char* argv[], const AppHardware& hardware,
                  CardBaseSource source = CardBaseSource::FileOnly);

// Refuses to run without the CP1251 codec (box "Ошибка"); false then.
bool CheckTextCodec(const char* codecName);

} // namespace k8w
