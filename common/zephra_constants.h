// Values that the player and the local server must agree on. Both programs include this
// header, so changing one here changes both.
#pragma once

namespace zephra {

// The application title: task bar, main window caption, caption of the default error report.
inline constexpr const char* kApplicationTitle = "Zephra Player";

// The local server listens on loopback only. An ordinary user cannot bind port 80, so the
// server uses a fixed unprivileged port instead.
inline constexpr const char* kLocalServerHost = "127.0.0.1";
inline constexpr int kLocalServerPort = 8480;

// Every request to the local server carries this cookie. Its value is a secret the server keeps
// in this file of its data folder (lib/Program/data/, user-only) and never sends: the player
// reads it from there and hands it to its browsers and its media engine itself.
inline constexpr const char* kLocalServerCookieName = "zephra_page";
inline constexpr const char* kLocalServerSecretFile = "page-token";

// The player reports how each channel it played fared (contract::kPlayReportPage). Pages hold the
// cookie but never its value (HttpOnly), and no browser request can carry this header: the player
// sends the secret in it, read from the file above, and the server takes reports only with it.
inline constexpr const char* kPlayerProofHeader = "X-Zephra-Player";

// Title of the local server's (unmapped) presence window. The player looks for a top-level
// window with exactly this title to tell whether the server already runs.
inline constexpr const char* kLocalServerWindowTitle = "Zephra Local Server";

// Remote service base address used when the installation does not set one
// (see remotebase.txt in the README). Chosen at build time with -DZEPHRA_REMOTE_BASE=...
inline constexpr const char* kDefaultRemoteBase = ZEPHRA_DEFAULT_REMOTE_BASE;

}  // namespace zephra
