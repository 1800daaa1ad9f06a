// input_internal.h - what the command line's own sources share and nothing else needs.
#pragma once

#include <csignal>

namespace host::detail {

// Set by the terminal's SIGINT handler (Ctrl-C); read and cleared by the command line.
extern volatile std::sig_atomic_t gInterrupt;

} // namespace host::detail
