#include "app/login/password.h"

#include <sodium.h>

#include <stdexcept>

namespace tv::app {

namespace {

std::string_view withoutTrailingBlanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

void ensureSodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready) throw std::runtime_error("libsodium could not be initialised");
}

}  // namespace

std::string HashPassword(std::string_view typed) {
    ensureSodium();
    const std::string_view p = withoutTrailingBlanks(typed);
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, p.data(), p.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw std::runtime_error("password hashing failed");
    return std::string(out);
}

bool PasswordMatches(std::string_view storedHash, std::string_view typed) {
    ensureSodium();
    std::string stored(withoutTrailingBlanks(storedHash));
    if (stored.empty() || stored.size() >= crypto_pwhash_STRBYTES) return false;
    const std::string_view p = withoutTrailingBlanks(typed);
    return crypto_pwhash_str_verify(stored.c_str(), p.data(), p.size()) == 0;
}

}  // namespace tv::app
