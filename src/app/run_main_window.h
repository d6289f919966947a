#pragma once
#include "app/app_hardware.h"

namespace k8w {

// The program entry of k8w-prog and of its demo edition: checks the text
// codec, claims the database, creates the windows, runs the message loop
// and waits for workers that outlived the main window.
int RunMainWindow(int argc, char* argv[], const AppHardware& hardware);

// Refuses to run without the CP1251 codec (box "Ошибка"); false then.
bool CheckTextCodec(const char* codecName);

} // namespace k8w
