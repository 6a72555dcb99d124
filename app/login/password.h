#pragma once
// Users' passwords are kept as salted hashes (libsodium's password hashing),
// never as typed. Trailing blanks do not count (the field is blank-padded
// where it is typed); letter case does.
#include <string>
#include <string_view>

namespace tv::app {

// The hash to store for a password as typed; throws std::runtime_error when
// the hashing fails (out of memory).
std::string HashPassword(std::string_view typed);
// True when the typed password is the one the stored hash was made from.
bool PasswordMatches(std::string_view storedHash, std::string_view typed);

}  // namespace tv::app
