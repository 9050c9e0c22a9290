// The simulator's own interface, beside the 34 mx_ operations, for host programs and
// tests that link the simulator library directly.
#pragma once

#include "config.h"
#include "trace.h"

#include <vector>

namespace keyersim {

// Replaces the configuration (otherwise read from the environment at the first call),
// restarts chip time at 0 and starts a new trace. False while a chip is open.
bool configure(const Config& config);

// Trace events kept since configure() with keepTrace set.
std::vector<TraceEvent> traceEvents();
void clearTrace();

// Chip time now, in ms.
double nowMs();

// The bytes waiting in the open chip's buffer; empty when none is open.
std::vector<unsigned char> pendingBytes();

// True when no chip is open, or the open one has nothing left to key and every report
// has been delivered.
bool idle();

// True when no chip is open, or the open one has nothing left to key (reports may still
// wait for a callback that takes its time).
bool keyingIdle();

}  // namespace keyersim
