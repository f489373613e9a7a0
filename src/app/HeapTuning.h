#pragma once

// Makes the C library hand large freed blocks back to the system at once.
// Call first thing in main(), before any thread starts.
void returnFreedMemoryPromptly();
