// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File access for everything a script or the user names: script files and
// the script file functions. Names come from users and scripts, so every
// operation here
// - refuses an empty name and a name holding a NUL character (the system
//   would act on the name cut at the NUL, another file);
// - creates, writes, replaces and deletes regular files only: a device
//   node, a FIFO, a socket or a folder of that name is refused and left as
//   it was;
// - never blocks on opening: a FIFO or device is refused before it is
//   opened, and the open itself does not wait, in case the name changed
//   kind in between;
// - never reads without bound.
// All operations follow symbolic links to the file they name, except Delete,
// which removes the link itself.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace varnok {

// False for names no operation may act on: empty, or holding a NUL.
bool usableFileName(const QString &name);

// The whole content of a regular file of at most `maxBytes` bytes. The file
// is read to its end whatever size it claims. False (and `bytes` empty) for
// any failure, also when the file is longer than `maxBytes`.
bool readRegularFile(const QString &name, qint64 maxBytes, QByteArray &bytes);

// Everything an open descriptor (standard input) gives until its end, at
// most `maxBytes`; false (and `bytes` empty) on a read error or when there
// is more. Blocks while the writer is still writing, as reading to the end
// must.
bool readStream(int fd, qint64 maxBytes, QByteArray &bytes);

// Makes `name` a regular file holding exactly `bytes`: written to a new file
// in the same folder, which then takes the name's place in one step. On
// failure the old file stays as it was. An existing file keeps its
// permissions, plus the owner's write permission (a named file is
// overwritten even when read-only); a new one gets the usual permissions
// for new files.
bool replaceRegularFile(const QString &name, QByteArrayView bytes);

// For a signal handler that ends the process at once: removes the
// temporary file of a replacement (replaceRegularFile, copyRegularFile)
// that is being written at this moment, so the end leaves the old file as
// it was and nothing beside it. Async-signal-safe; does nothing when no
// replacement is under way.
void removeReplacementInProgress() noexcept;

// Reads up to `length` bytes from byte offset `offset` (0 = first byte) of
// a regular file opened for reading and writing, created empty when
// missing. Past the end only the bytes that exist are returned.
bool readFileAt(const QString &name, qint64 offset, qint64 length, QByteArray &bytes);

// Writes `bytes` at byte offset `offset` of a regular file opened for
// reading and writing (created when missing), overwriting what is there and
// extending the file; nothing is truncated.
bool writeFileAt(const QString &name, qint64 offset, QByteArrayView bytes);

// Creates an empty regular file or empties an existing one.
bool createEmptyFile(const QString &name);

// Copies a regular file: the target ends up holding exactly what the source
// held when it was read to its end, or, on failure, stays as it was. An
// existing target keeps its permissions; a new one gets the source's,
// less the process's file-creation mask. Copying a file onto itself fails.
bool copyRegularFile(const QString &source, const QString &target);

// Deletes a regular file, or a symbolic link that leads to one or to
// nothing (the link itself goes). When the part after the last "/" holds
// "*" or "?", every matching entry of that folder that is such a file is
// deleted and everything else is left alone; no such entry is a failure.
bool deleteFiles(const QString &name);

} // namespace varnok
