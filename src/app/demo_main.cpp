// k8w-prog-demo: the utility over simulated hardware, for trying it out and
// for training without a device.
#include "app/demo_hardware.h"
#include "app/run_main_window.h"

int main(int argc, char* argv[]) {
    k8w::DemoHardware demo;
    return k8w::RunMainWindow(argc, argv, demo.hardware());
}
