// tavix: convert images, compress them with the wavelet codec, decode and
// describe .tvx files. See `tavix --help`.
#include <iostream>

#include "tools/Commands.h"
#include "tools/Interrupt.h"

int main(int argc, char** argv) {
  InstallInterruptCleanup();
  return RunTool(argc, argv, std::cout, std::cerr);
}
