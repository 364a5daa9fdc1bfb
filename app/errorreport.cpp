#include "app/errorreport.h"

#include <stdexcept>

#include "board/myexception.h"

std::string DescribeError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const MyException& e) {
        return e.FullMessage();
    } catch (const std::runtime_error& e) {
        return std::string("std::exception: ") + e.what();
    } catch (const std::exception& e) {
        return std::string("std::exception: ") + e.what();
    } catch (const char* text) {
        return text;
    } catch (const std::string& text) {
        return text;
    } catch (...) {
        return "Uknown error.";
    }
}
