// Load and unload counts of the dorva_double variants.
//
// The counts live in a separate tiny library that every variant links to, so
// they outlive an unloaded double: a test opens the counter library itself,
// lets the library under test load and unload the double, and reads how often
// the double's load-time constructor and unload-time destructor ran.
#pragma once

extern "C" {

struct DorvaDoubleLoadCounts {
  int loads;
  int unloads;
};

DorvaDoubleLoadCounts* dorva_double_load_counts();
}

using DorvaDoubleLoadCountsFunc = DorvaDoubleLoadCounts* (*)();
