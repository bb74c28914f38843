// The local server's page secret, which the player hands to its browsers and its media engine:
// the server never sends it, and answers nothing without it.
#pragma once

#include <string>
#include <vector>

namespace zephra {

// The secret on the first line of the first of `paths` that holds one (64 lower-case hex
// digits; only a regular file is read, at most a line's worth), or "" when none does: a missing,
// damaged or unreadable file is no error, the pages then show the server's refusal.
std::string readLocalServerSecret(const std::vector<std::string>& paths);

}  // namespace zephra
