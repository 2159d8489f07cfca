// The capture-analysis library as Tamborel loads it. On this platform the
// browsers' requests reach Tamborel through capture tools that read the
// monitor map themselves (tamborel-capture, the browser integration), so the
// filter calls only mark whether Tamborel asked for monitoring; the map's
// flag stays the switch those tools obey.
#include <atomic>

namespace {
std::atomic<int> filterSet{0};
}

extern "C" {

__attribute__((visibility("default"))) void SetMonitorFilter() { filterSet = 1; }

__attribute__((visibility("default"))) void UnSetMonitorFilter() { filterSet = 0; }

// 1 between SetMonitorFilter and UnSetMonitorFilter.
__attribute__((visibility("default"))) int MonitorFilterSet() { return filterSet; }
}
