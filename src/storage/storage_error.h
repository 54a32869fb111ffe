#pragma once

#include <stdexcept>
#include <string>

namespace stanzel {

// Raised by every storage operation that could not do its work. The text is
// complete and ready to show the user; the window's top-level handler does so.
class StorageError : public std::runtime_error {
public:
    explicit StorageError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace stanzel
