#include "app/HeapTuning.h"

#include <cstdlib> // defines __GLIBC__ with the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void returnFreedMemoryPromptly()
{
#if defined(__GLIBC__)
    // glibc raises its mmap threshold to the size of every mapped block that
    // is freed (up to 32 MiB). After the first decoded screenshot, pictures
    // and recognition buffers of that size come from the heaps of the
    // threads that made them and stay resident once freed: the history would
    // hold its compressed images plus the ghosts of their decoded pixels. A
    // fixed threshold keeps every block over 128 KiB mapped and unmapped.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}
