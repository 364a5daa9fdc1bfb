#include "platform/console.h"

// Standard streams carry bytes unchanged here already.
void PrepareConsole() {}
