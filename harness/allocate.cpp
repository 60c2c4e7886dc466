#include <cstdlib>

#include "state.h"

void* harnessAllocate(std::size_t size) { return std::malloc(size); }

void harnessRelease(void* block) { std::free(block); }
