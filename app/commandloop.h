#pragma once

#include <string>
#include <utility>
#include <vector>

class ProtocolHandler;

// Looks for the first argument equal to name; its value is the argument after it.
std::pair<bool, std::string> FindOption(const ProtocolHandler& handler, const std::string& name);

// Cuts a text at every ';' the way line reading does: "a;;b" gives "a", "", "b";
// a trailing ';' gives no empty last piece.
std::vector<std::string> SplitCommands(const std::string& text);

// Splits a line into command word and argument, runs it and puts the diagnostic
// lines written meanwhile in front of the reply. A command that fails answers its
// "ERROR " line. Writes nothing.
std::string ExecuteLine(ProtocolHandler& handler, const std::string& line);

// Executes handler.line and writes the reply, if any, to standard output.
void ProcessLine(ProtocolHandler& handler);

// Replays "input.txt", runs the --command pieces, then reads standard input until
// END or the end of input.
void RunCommandLoop(ProtocolHandler& handler);
