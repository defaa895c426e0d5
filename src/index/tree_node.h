// The node of the selection tree lives with the converters (src/convert/tree_node.h), which read
// whether a section is selected; this name stays for the index and the window.
#pragma once

#include "convert/tree_node.h"
