// Secrets (the page secret, form tokens) come from the system's cryptographic random source.
// Per-OS implementation beside this header.
#pragma once

#include <cstddef>

namespace zephra {

// Fills `size` bytes at `buffer`; std::runtime_error "no random numbers: <why>" when the
// system has none to give.
void fillRandomBytes(unsigned char* buffer, std::size_t size);

}  // namespace zephra
