// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The script file format: one Windows-1252 byte per character, lines
// separated by CR LF, the last line followed by one CR LF.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace varnok {

// The editor text a file's bytes load as. Lines end at CR LF or at a lone
// CR; a lone LF stays inside its line. The lines are joined with CR LF, a
// separator only being added once the text is not empty, so empty lines at
// the very start are dropped and the file's final line end adds no line.
QString decodeScriptFile(const QByteArray &bytes);

// The bytes a text is saved as: the text itself (whose line breaks are
// already CR LF) followed by CR LF.
QByteArray encodeScriptFile(QStringView text);

// Reads a script file. False when the file cannot be opened or read, is no
// regular file or is larger than limits::kScriptFileSize; `text` is then left
// empty.
bool readScriptFile(const QString &path, QString &text);

// Writes a script file through a temporary file that replaces the target
// only once it is complete, so a failed save leaves the old file as it was.
// A read-only target is overwritten and left writable. Only a regular file
// is replaced: a device or FIFO of that name is refused. False on any
// failure.
bool writeScriptFile(const QString &path, QStringView text);

} // namespace varnok
