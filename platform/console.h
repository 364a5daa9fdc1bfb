#pragma once

// Makes standard input and output carry bytes unchanged, so the console program
// reads and writes the same lines on every system (a reply ends with a line feed
// alone; a carriage return in the input is dropped by the command loop). Called
// once by the console program's main, never by the library, whose standard
// streams belong to the host.
void PrepareConsole();
