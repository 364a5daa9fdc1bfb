#include <exception>
#include <iostream>
#include <memory>

#include "app/commandloop.h"
#include "app/errorreport.h"
#include "protocol/programarguments.h"
#include "board/boardai.h"
#include "board/coord.h"
#include "platform/console.h"
#include "protocol/engine.h"

int main(int argc, char** argv) {
    PrepareConsole();
    ProgramArguments arguments = ProgramArguments::FromMain(argc, argv);
    try {
        Coord::SetSize(20, 20);
        BoardAI::Alloc();
        auto handler = std::make_unique<Engine>(arguments);
        RunCommandLoop(*handler);
        handler.reset();
        BoardAI::Free();
        return 0;
    } catch (...) {
        // Commands answer their own errors; this is for a start-up that fails.
        std::cout << "ERROR " << DescribeError(std::current_exception()) << '\n';
        std::cout.flush();
    }
    BoardAI::Free();
    return 1;
}
