#include "tools/devsim/DeviceSimulator.h"

int main(int argc, char** argv) { return lk24::devsim::runCommandLine(argc, argv); }
