// ENTRYPOINT as a program that links the module in sees it: the WebAssembly
// build loads no libraries, so its programs hand the host this function.
// Hosts that load the module find the same function by its name instead.
#pragma once

#include "interface/host_interface.h"

extern "C" ZENTROW_EXPORT void ZENTROW_CALL ENTRYPOINT(int16_t selector, void* block,
                                                       intptr_t* data, int16_t* result);
