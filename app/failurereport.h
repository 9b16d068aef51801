#pragma once

// How the executables end on an exception nothing else caught: one line on standard error
// that names the program and gives the reason, and the exit code that means it.

#include <cstdio>
#include <exception>

namespace tarvik {

// What body returns; failedCode when a std::exception escapes it, once body's own objects
// are gone.
template <typename Body> int reportingFailure(const char* program, int failedCode, Body&& body)
{
    try {
        return body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        std::fflush(stderr);
        return failedCode;
    }
}

} // namespace tarvik
