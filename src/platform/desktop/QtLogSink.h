#pragma once
// Routes the core's logging (common/Log.h) into Qt's logging categories, one per layer
// ("trellick.settings", "trellick.gesture", ...). Warnings and worse are on by default, debug
// and info off; QT_LOGGING_RULES (for example "trellick.*.debug=true") changes that, and the
// core's debug switches follow the rules, also when they change at run time.

#include <QLoggingCategory>

#include <string>

namespace trellick::desktop {

// The category of that name, created on first use. Thread-safe; never destroyed.
const QLoggingCategory& loggingCategory(const std::string& name);

// Makes the core's warnings and debug lines go through the categories. Call early in main().
void installQtLogSink();

}  // namespace trellick::desktop
