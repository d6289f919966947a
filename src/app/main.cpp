// k8w-prog: the programming utility's window program.
#include "app/run_main_window.h"

int main(int argc, char* argv[]) { return k8w::RunMainWindow(argc, argv, {}, k8w::CardBaseSource::Chosen); }
