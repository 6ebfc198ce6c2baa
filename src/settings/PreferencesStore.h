#pragma once
// A key-value preferences store with JSON-like typed values. Types matter: the read rules
// of the settings tell a boolean from a string that spells one.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/Observable.h"

namespace trellick {

struct PrefValue;
using PrefArray = std::vector<PrefValue>;
using PrefObject = std::map<std::string, PrefValue>;

struct PrefValue {
    // monostate is JSON null; numbers are doubles (JSON does not tell 1 from 1.0).
    std::variant<std::monostate, bool, double, std::string, PrefArray, PrefObject> v;

    PrefValue() = default;
    PrefValue(bool b) : v(b) {}
    PrefValue(double d) : v(d) {}
    PrefValue(int i) : v(static_cast<double>(i)) {}
    PrefValue(long long i) : v(static_cast<double>(i)) {}
    PrefValue(const char* s) : v(std::string(s)) {}
    PrefValue(std::string s) : v(std::move(s)) {}
    PrefValue(PrefArray a) : v(std::move(a)) {}
    PrefValue(PrefObject o) : v(std::move(o)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(v); }
    const bool* asBool() const { return std::get_if<bool>(&v); }
    const double* asNumber() const { return std::get_if<double>(&v); }
    const std::string* asString() const { return std::get_if<std::string>(&v); }
    const PrefArray* asArray() const { return std::get_if<PrefArray>(&v); }
    const PrefObject* asObject() const { return std::get_if<PrefObject>(&v); }

    friend bool operator==(const PrefValue&, const PrefValue&) = default;
};

// A new value computed from the current one (nothing: absent); nothing as the result removes the key.
using PrefUpdate = std::function<std::optional<PrefValue>(const std::optional<PrefValue>&)>;

class PreferencesStore {
public:
    virtual ~PreferencesStore() = default;
    // The stored value, or nothing when the key is absent.
    virtual std::optional<PrefValue> object(const std::string& key) const = 0;
    // Stores the value and persists it (write-through). Failures are reported by the store
    // itself (a warning) and never lose the value held in memory.
    virtual void set(const std::string& key, PrefValue value) = 0;
    virtual void remove(const std::string& key) = 0;
    // Read-modify-write of one key. A store shared with other processes applies `fn` to the
    // freshest stored value, so that a count kept under the key is not lost when two
    // processes add to it. `fn` may be called more than once and must depend on its argument only.
    virtual void update(const std::string& key, const PrefUpdate& fn) {
        if (auto value = fn(object(key)))
            set(key, std::move(*value));
        else
            remove(key);
    }
    // Tries once more to persist changes whose write failed; true when nothing is left unsaved.
    virtual bool flush() { return true; }

    // Keys whose stored value was changed by someone else (another process, a hand edit), as
    // seen by this store. Never fired for this store's own changes.
    Subscription onChangedByOthers(std::function<void(const std::vector<std::string>&)> fn) {
        return changedByOthers_.connect(std::move(fn));
    }

protected:
    void notifyChangedByOthers(const std::vector<std::string>& keys) const {
        if (!keys.empty()) changedByOthers_.notify(keys);
    }

private:
    Signal<std::vector<std::string>> changedByOthers_;
};

// An in-memory store: for tests and for `debug-gestures`, which must not touch the user's file.
class MemoryPreferencesStore : public PreferencesStore {
public:
    std::optional<PrefValue> object(const std::string& key) const override {
        auto it = values_.find(key);
        if (it == values_.end()) return std::nullopt;
        return it->second;
    }
    void set(const std::string& key, PrefValue value) override {
        values_[key] = std::move(value);
        ++writes_;
    }
    void remove(const std::string& key) override {
        values_.erase(key);
        ++writes_;
    }
    int writes() const { return writes_; }
    // Plays another process editing the store: the value changes (nothing removes it) and
    // observers of others' changes hear of it; no write of this store is counted.
    void changeByOthers(const std::string& key, std::optional<PrefValue> value) {
        if (value)
            values_[key] = std::move(*value);
        else
            values_.erase(key);
        notifyChangedByOthers({key});
    }

private:
    std::map<std::string, PrefValue> values_;
    int writes_ = 0;
};

// The read rules shared by every reader of the store.
namespace prefs {
// A typed read: the stored value only when it is already of that kind.
std::optional<bool> typedBool(const PreferencesStore& store, const std::string& key);
std::optional<double> typedNumber(const PreferencesStore& store, const std::string& key);
std::optional<std::string> typedString(const PreferencesStore& store, const std::string& key);
// The lenient boolean read: numbers are true when non-zero, strings such as "true", "YES"
// or "1" are true; missing or anything else is false.
bool lenientBool(const PreferencesStore& store, const std::string& key);
}  // namespace prefs

}  // namespace trellick
