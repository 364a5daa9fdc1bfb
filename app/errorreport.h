#pragma once

#include <exception>
#include <string>

// The text after "ERROR " for an exception that escaped a command, chosen in this
// order: the program's own error, standard errors, thrown strings, anything else.
// Only the error's own text: a manager shows it to its user, so no type, source
// file or line.
std::string DescribeError(std::exception_ptr error);
