// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Standard input, output and error of a program that may be started with
// any of them closed, or writing into a pipe whose reader is gone.

#include <QByteArrayView>

namespace varnok {

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed.
// Called first thing in main: a closed descriptor would otherwise be taken
// by the next file or socket the program opens, and what is meant for
// standard error (the box lines) would go into that file or socket.
void openClosedStandardStreams() noexcept;

// Writes all of `bytes` to `fd`. False when that is not possible (the
// reader of a pipe is gone, the disk is full, the descriptor is closed);
// such a failure never raises SIGPIPE, so what the program writes never
// ends it or changes what it does next.
bool writeToStream(int fd, QByteArrayView bytes) noexcept;

} // namespace varnok
