#pragma once

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

} // namespace vintrel
