// tavix: convert images, compress them with the wavelet codec, decode and
// describe .tvx files. See `tavix --help`.
#include <malloc.h>

#include <iostream>
#include <new>

#include "tools/Commands.h"
#include "tools/Interrupt.h"

int main(int argc, char** argv) {
  // One image at a time passes through several large buffers of similar
  // size; keeping freed memory in the heap lets the next buffer reuse pages
  // that are already mapped instead of faulting in fresh zeroed ones.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  InstallInterruptCleanup();
  try {
    return RunTool(argc, argv, std::cout, std::cerr);
  } catch (const std::bad_alloc&) {
    // Staging files are removed as the stack unwinds.
    std::cerr << "tavix: out of memory\n";
    return 1;
  }
}
