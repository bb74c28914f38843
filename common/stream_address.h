// Which addresses the player hands to its playback engine. The engine (and the media library
// under it) also opens local files, devices, filter graphs and helper protocols, some of which
// write files; a channel address comes from playlists and pages, so only network streams pass.
// The player refuses anything else before it reaches the engine, and the local server leaves
// such entries out of the directory.
#pragma once

#include <string>
#include <string_view>

namespace zephra {

// What the media library may open on a stream's behalf: the transports of the network stream
// schemes (with TLS, proxies and HLS encryption), never file, pipe, concat, subfile or lavfi.
extern const char* const kMediaLibraryProtocols;

// The schemes played, for messages: "http, https, rtsp, ...".
extern const char* const kNetworkStreamSchemesText;

// The address's scheme in lower case ("HTTP://x" gives "http"), or "" when the text does not
// start with one (a path, a leading blank).
std::string addressScheme(std::string_view address);

// True for a scheme (as addressScheme gives it) from kNetworkStreamSchemesText.
bool isNetworkStreamScheme(std::string_view scheme);

// True for "<scheme>://..." with a scheme from kNetworkStreamSchemesText (any case) and no
// NUL or line-end character anywhere. Without the "//" the engine would read a local file.
bool isNetworkStreamAddress(std::string_view address);

// The same address with its scheme in lower case, as the engine expects it.
std::string withLowerCaseScheme(std::string_view address);

}  // namespace zephra
