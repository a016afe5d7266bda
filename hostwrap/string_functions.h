// The host string functions (String_*): accessors over the host runtime's
// own string operations, each with its own cache slot.
#pragma once

#include <rb/plugin.h>

#include <cstdint>

#define STRIP_PARENS(...) __VA_ARGS__
#define LOGGED(name, R, miss, res, params, args) R name(STRIP_PARENS params);
#define SIGFIRST(name, R, miss, sig, res, params, args) R name(STRIP_PARENS params);
#define RESFIRST(name, R, miss, res, sig, params, args) R name(STRIP_PARENS params);
#define SIGONLY(name, R, miss, sig, params, args) R name(STRIP_PARENS params);
#include "string_functions.def"
#undef LOGGED
#undef SIGFIRST
#undef RESFIRST
#undef SIGONLY

// The host's EndOfLine object, and its line-ending strings by property.
REALobject String_EndOfLine();
REALstring String_EndOfLineMac();
REALstring String_EndOfLineWindows();
REALstring String_EndOfLineUnix();
