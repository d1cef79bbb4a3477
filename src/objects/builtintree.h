// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "objecttree.h"

namespace varnok {

// The tree every script sees at start-up: built-in functions under Main, the
// shortcuts Skript and Text, and the three (empty) object arrays.
NodePtr BuildObjectTree();

} // namespace varnok
