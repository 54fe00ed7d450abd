#pragma once
// Splits the filling of a large table over the processor's cores. Only icc/
// includes this.

#include <functional>

// Calls part(from, to) on disjoint ranges covering [0, count), some of them
// on threads of their own when count is large enough to pay for them; runs
// everything on the calling thread when no thread can be had. Returns once
// every part is done.
void icParallelFor(unsigned count, const std::function<void(unsigned from, unsigned to)>& part);
