// The headless host lives in the control framework (platform/activex/headless_host.*),
// where the host programs link it too; the tests reach it through activex_host.h.
#include "tests/support/activex_host.h"
