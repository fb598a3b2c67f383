#pragma once

// The tests' names for the headless host of the control framework.

#include "platform/activex/headless_host.h"

namespace ax::test {
using ax::EventLog;
using ax::EventRecord;
using ax::HeadlessHost;
using ax::HostedControl;
using ax::RecordingSite;
} // namespace ax::test
