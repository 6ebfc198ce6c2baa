#pragma once
// Routes the core's warnings (log::warning) into Qt's logging categories, one per layer
// ("trellick.settings", "trellick.gesture", ...). Warnings and worse are on by default,
// debug and info off; QT_LOGGING_RULES (for example "trellick.*.debug=true") changes that.

#include <QLoggingCategory>

#include <string>

namespace trellick {

// The category of that name, created on first use. Thread-safe; never destroyed.
const QLoggingCategory& loggingCategory(const std::string& name);

// Makes log::warning write through the categories. Call once, early in main().
void installQtLogSink();

}  // namespace trellick
