#include "settings/PreferencesStore.h"

#include <cctype>
#include <cmath>

namespace trellick::prefs {

std::optional<bool> typedBool(const PreferencesStore& store, const std::string& key) {
    auto value = store.object(key);
    if (!value) return std::nullopt;
    if (auto b = value->asBool()) return *b;
    return std::nullopt;
}

std::optional<double> typedNumber(const PreferencesStore& store, const std::string& key) {
    auto value = store.object(key);
    if (!value) return std::nullopt;
    // Infinity or NaN (a hand-edited file, 1e999) is no more usable than a string.
    if (auto d = value->asNumber(); d && std::isfinite(*d)) return *d;
    return std::nullopt;
}

std::optional<std::string> typedString(const PreferencesStore& store, const std::string& key) {
    auto value = store.object(key);
    if (!value) return std::nullopt;
    if (auto s = value->asString()) return *s;
    return std::nullopt;
}

namespace {
// The classic Cocoa reading of a string as a boolean: leading white space, an optional sign
// and leading zeros are skipped; then Y, T (either case) or a digit 1-9 means true.
// Trailing characters are ignored, so "YES", "true", "1" and "0042" are all true.
bool stringBoolValue(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && s[i] == '0') ++i;
    if (i == s.size()) return false;
    char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}
}  // namespace

bool lenientBool(const PreferencesStore& store, const std::string& key) {
    auto value = store.object(key);
    if (!value) return false;
    if (auto b = value->asBool()) return *b;
    if (auto d = value->asNumber()) return *d != 0.0;
    if (auto s = value->asString()) return stringBoolValue(*s);
    return false;
}

}  // namespace trellick::prefs
