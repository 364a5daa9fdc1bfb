#include "app/errorreport.h"

#include <new>
#include <stdexcept>

#include "board/myexception.h"

std::string DescribeError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const MyException& e) {
        // A manager shows the text to its user: what went wrong, not where.
        return e.what();
    } catch (const std::bad_alloc&) {
        return "out of memory.";
    } catch (const std::exception& e) {
        return e.what();
    } catch (const char* text) {
        return text;
    } catch (const std::string& text) {
        return text;
    } catch (...) {
        return "Uknown error.";
    }
}
