#pragma once

// Gives a function of the in-process library its exported name.
#ifdef _WIN32
// The module definition file (platform/windows/tamlo.def) exports the functions
// under their plain names, so no symbol inside the DLL is called open or close
// and the C runtime linked into it keeps its own.
#define TAMLO_EXPORT(name)
#else
// The names clash with the C library's open/close, so the functions carry other
// names in the source and get the exported ones as assembler labels; everything
// else stays hidden.
#define TAMLO_EXPORT(name) __asm__(name) __attribute__((visibility("default")))
#endif
