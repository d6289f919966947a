// k8w-prog-demo: the utility over simulated hardware, for trying it out and
// for training without a device. Two cables are plugged in, both wired to
// one simulated device that keeps what is written and answers reads with it.
#include "app/run_main_window.h"
#include "common/clock.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"

int main(int argc, char* argv[]) {
    k8w::sim::SimDevice device;
    k8w::sim::SimFtdiDriver cables(k8w::systemClock());
    cables.plug("K8WDEMO1", &device);
    cables.plug("K8WDEMO2", &device);
    return k8w::RunMainWindow(argc, argv, {&cables, &k8w::systemClock()});
}
