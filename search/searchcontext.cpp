#include "search/searchcontext.h"

#include "board/coord.h"

SearchContext::SearchContext(std::stringstream& out)
    : maxDepth(static_cast<int32_t>(Coord::area)), diagnostics(out) {}

void SearchContext::Debug(const std::string& text) {
    diagnostics << "DEBUG " << text << '\n';
}

void SearchContext::Message(const std::string& text) {
    diagnostics << "MESSAGE " << text << '\n';
}

void SearchContext::Live(const std::string& text) {
    const std::string line = "MESSAGE " + text + "\n";
    if (liveOutput)
        liveOutput(line);
    else
        diagnostics << line;
}
