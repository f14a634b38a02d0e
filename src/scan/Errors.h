#pragma once

#include <cstring>
#include <stdexcept>
#include <string>

namespace vintrel {

// A message meant for the user, shown as it stands.
class UserError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A cell text that cannot be read back as a number or a date.
class ConversionError : public UserError {
  public:
    using UserError::UserError;
};

// A write that fell short, with the system's reason ("No space left on device").
inline std::string StreamWriteError(int error) {
    return error == 0 ? "Stream write error"
                      : "Stream write error. " + std::string(std::strerror(error));
}

} // namespace vintrel
