// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Screen readers read a text box through Qt's accessibility interface. The
// editors inside a TextBox show symbols for control characters and one
// break for CR LF; what they would report is therefore not the box's text.
// The interface installed here reports the model's characters instead, with
// offsets counted in model characters.

namespace varnok {

// Installs the factory once per application; later calls do nothing.
void installExactTextAccessibility();

} // namespace varnok
