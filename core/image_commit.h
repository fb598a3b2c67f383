#pragma once

// The container calls the loaders and the replacing operations use (SetupMultiFrame,
// CommitPageChanges) live with the rest of the page containers.

#include "core/image_containers.h"
