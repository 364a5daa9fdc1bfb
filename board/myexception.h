#pragma once

#include <exception>
#include <string>

// The program's own error, raised on bad coordinates. It derives privately from
// std::exception so that handlers for standard errors do not catch it; only a
// handler for MyException itself does.
class MyException : private std::exception {
  public:
    MyException(std::string message, std::string file, std::string function, int line);
    ~MyException() override = default;
    const char* what() const noexcept override { return mMessage.c_str(); }
    // message|file|function|line
    virtual const std::string& FullMessage() const { return mFullMessage; }

  private:
    std::string mMessage;
    std::string mFullMessage;
};

#define THROW_MY_EXCEPTION(message, function) \
    throw MyException((message), __FILE__, (function), __LINE__)
