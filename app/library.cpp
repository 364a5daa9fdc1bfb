// The in-process interface: a host loads the library (libtamlo.so with dlopen,
// tamlo.dll with LoadLibraryA) and finds open, command, close and test by name;
// calls come from one thread at a time. The functions carry other names here;
// platform/export.h gives them the exported ones.
#include <exception>
#include <memory>
#include <string>

#include "app/commandloop.h"
#include "board/boardai.h"
#include "board/coord.h"
#include "platform/export.h"
#include "protocol/engine.h"

namespace {

std::unique_ptr<Engine> libraryHandler;
// Replies of any length are handed back whole.
std::string replyBuffer;
const char kOk[] = "OK";

}  // namespace

extern "C" {
void TamloOpen() TAMLO_EXPORT("open");
const char* TamloCommand(const char* text) TAMLO_EXPORT("command");
void TamloClose() TAMLO_EXPORT("close");
int TamloTest() TAMLO_EXPORT("test");
}

// Starts an engine on a 20 x 20 board, closing one that is open.
void TamloOpen() {
    TamloClose();
    Coord::SetSize(20, 20);
    BoardAI::Alloc();
    libraryHandler = std::make_unique<Engine>(ProgramArguments{});
}

// Runs one command line; answers the reply, or null for an empty one. The text
// stays valid until the next call.
const char* TamloCommand(const char* text) {
    if (!libraryHandler) {
        replyBuffer = "ERROR engine is not open.";
        return replyBuffer.c_str();
    }
    std::string line = text ? text : "";
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string reply = ExecuteLine(*libraryHandler, line);
    if (reply == "OK") return kOk;
    if (reply.empty()) return nullptr;
    replyBuffer = std::move(reply);
    return replyBuffer.c_str();
}

void TamloClose() {
    if (libraryHandler) {
        libraryHandler.reset();
        BoardAI::Free();
    }
}

// Tells a host it loaded the right library; touches no state.
int TamloTest() {
    return 123;
}
