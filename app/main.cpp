#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/commandloop.h"
#include "app/myexception.h"
#include "app/programarguments.h"
#include "board/boardai.h"
#include "board/coord.h"
#include "protocol/engine.h"

namespace {

void ReportError(const std::string& text) {
    std::cout << "ERROR " << text << '\n';
    std::cout.flush();
}

}  // namespace

int main(int argc, char** argv) {
    ProgramArguments arguments = ProgramArguments::FromMain(argc, argv);
    try {
        Coord::SetSize(20, 20);
        BoardAI::Alloc();
        auto handler = std::make_unique<Engine>(arguments);
        RunCommandLoop(*handler);
        handler.reset();
        BoardAI::Free();
        return 0;
    } catch (const MyException& e) {
        ReportError(e.FullMessage());
    } catch (const std::runtime_error& e) {
        ReportError(std::string("std::exception: ") + e.what());
    } catch (const std::exception& e) {
        ReportError(std::string("std::exception: ") + e.what());
    } catch (const char* text) {
        ReportError(text);
    } catch (const std::string& text) {
        ReportError(text);
    } catch (...) {
        ReportError("Uknown error.");
    }
    BoardAI::Free();
    return 1;
}
