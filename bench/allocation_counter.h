// Counting heap allocations in a benchmark: the program's operator new counts
// while g_counting is set (allocation_counter.cpp replaces it).
#pragma once

extern long g_allocations;
extern bool g_counting;
