#include "board/myexception.h"

MyException::MyException(std::string message, std::string file, std::string function, int line)
    : mMessage(std::move(message)) {
    // The file's name only: the build machine's folders are nobody's business.
    const size_t slash = file.find_last_of("/\\");
    if (slash != std::string::npos) file.erase(0, slash + 1);
    mFullMessage = mMessage + "|" + file + "|" + function + "|" + std::to_string(line);
}
