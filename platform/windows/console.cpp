#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/console.h"

void PrepareConsole() {
    // In text mode the C runtime would turn every line feed written into CR LF
    // (and the CR LF that ends a benchmark failure line into CR CR LF), and a
    // Ctrl-Z read would end the input. Managers read either line end; this way
    // the bytes are those of every other build.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}
