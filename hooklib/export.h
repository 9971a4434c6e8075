// Marks the library's exported C surface.
//
// VP_CALL is the calling convention the mail client's script uses for external calls: stdcall
// on 32-bit Windows (its Declare statements assume it), the platform's only convention
// elsewhere. Every export the script calls carries it; VeilpostSharedSettings, which only the
// system's own programs call, keeps the C convention so that they link it by name. The names stay
// undecorated on Windows through orlavex.def (no "_" prefix, no "@N" suffix), so each Declare names
// its export with Alias "ExactName".
#pragma once

#if defined(_WIN32)
#define VP_EXPORT  // orlavex.def names every export
#else
#define VP_EXPORT __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && defined(__i386__)
#define VP_CALL __stdcall
#else
#define VP_CALL
#endif
