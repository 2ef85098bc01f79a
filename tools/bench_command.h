#pragma once
// vistrel-tool bench: plays a movie headless and measures what drawing each frame costs, with the
// viewer's redraw rules and caches.

#include <QStringList>

namespace vistrel::tools {

// Arguments after the subcommand: [--size WxH] [--frames N] [--quality Q] FILE. Prints one line per
// measure: frames, budget_ms, median_ms, p95_ms, max_ms, over_half, redrawn, advance_median_ms,
// peak_rss_mb. Returns 0, or 1/2 as the other commands do. Needs a QGuiApplication.
int benchCommand(const QStringList& args);

}  // namespace vistrel::tools
