// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An answer body made readable: chunked transfer framing removed, a gzip
// or deflate content encoding undone (with zlib). What the answer's fields
// and output box show is never decoded; this is for the Mitschnitt only.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace varnok {

struct DecodedBody
{
    QByteArray bytes;
    // Why the body could not be decoded whole (empty when it could); the
    // bytes are then what could be decoded.
    QString problem;
};

// `transferEncoding` and `contentEncoding` are the values of the answer's
// headers of those names (several lines joined with ", "); codings are
// matched in any letter case. Codings other than chunked, gzip, x-gzip,
// deflate and identity are left as they are and named in `problem`.
DecodedBody decodeBody(QByteArrayView body, QStringView transferEncoding, QStringView contentEncoding);

} // namespace varnok
