// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps a fuzzed script's file functions away from the machine's files.
//
// Scripts create, write, copy and delete files, and a fuzzer builds file
// names nobody foresaw (Chr(47) makes a "/"). So the process confines itself
// with Linux Landlock: from then on it may create, write, rename or delete
// only beneath its working folder (and write /dev/null). Reading stays
// allowed, which the sanitizers' symbolizer and libFuzzer's corpus need.
// The confinement holds for the rest of the process and its children.

#include <string>

namespace varnok::fuzz {

// Confines writes to `folder` and everything beneath it. Returns an empty
// text on success, otherwise why it failed (the process is then unchanged).
std::string confineWritesTo(const std::string &folder);

// An empty text when `folder` is fit to be the writable working folder, else
// why not: never a source tree, a build folder's top, the root or $HOME.
std::string unfitWorkFolder(const std::string &folder);

} // namespace varnok::fuzz
