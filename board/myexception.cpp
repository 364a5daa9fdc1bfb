#include "board/myexception.h"

MyException::MyException(std::string message, std::string file, std::string function, int line)
    : mMessage(std::move(message)) {
    mFullMessage = mMessage + "|" + file + "|" + function + "|" + std::to_string(line);
}
