// Errors raised while reading SWF data. They stay inside the engine: the loader turns them into
// diagnostics or a user-readable message.
#pragma once

#include <stdexcept>
#include <string>

namespace vistrel::swf {

// A read ran past the end of the data it was given.
class TruncatedData : public std::runtime_error {
public:
    TruncatedData() : std::runtime_error("unexpected end of data") {}
};

// The data is readable but not valid (bad signature, bad compression stream, absurd values).
class FormatError : public std::runtime_error {
public:
    explicit FormatError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace vistrel::swf
