#pragma once

// Debian's Tesseract is built with OpenMP, whose runtime spreads every
// recognition over all cores and is several times slower for it on a busy
// desktop. Its thread limit is read from OMP_THREAD_LIMIT once, when the
// runtime is loaded with the program, so setting it from main() is too late.
//
// Call first thing in main(): when OMP_THREAD_LIMIT is not set, sets it to 1
// and re-executes the program with the same arguments. Returns (leaving the
// environment as set) when the variable was already there or the re-exec
// failed. A value the user set is kept.
void restartWithSingleThreadedOpenMp(char *argv[]);
