#pragma once
// Warnings of the core. The core has no Qt, so it logs through a replaceable sink; the
// application routes it into its logging categories, tests capture it.

#include <functional>
#include <string>

namespace trellick::log {

using Sink = std::function<void(const std::string& category, const std::string& message)>;

// Replaces the sink (nullptr restores the default: one line on standard error).
void setSink(Sink sink);
void warning(const std::string& category, const std::string& message);

}  // namespace trellick::log
