// SPDX-License-Identifier: GPL-3.0-or-later
// The file built-ins Main.File.*: read and write at a position, create,
// delete (with wildcards) and copy, on regular files only (common/fileaccess).
// Every failure is error 8.

#include "builtinfunctions.h"

#include "common/conventions.h"
#include "common/fileaccess.h"

namespace varnok::builtin {

namespace {

// Main.File.Read and Main.File.Write share their position checks.
QString readOrWrite(Engine &engine, Params &p, const EvalContext &ctx, bool write)
{
    qint32 pos, len = 0;
    if (!int32(numericValue(p[2]), pos) || pos < 1
        || (!write && (!int32(numericValue(p[3]), len) || len < 0)))
        return engine.fail(8, ctx);
    if (write) {
        if (!writeFileAt(p[1], qint64(pos) - 1, encodeCp1252(p[3])))
            return engine.fail(8, ctx);
        return {};
    }
    // Past the end of the file only the bytes that exist are returned.
    QByteArray bytes;
    if (!readFileAt(p[1], qint64(pos) - 1, len, bytes))
        return engine.fail(8, ctx);
    return decodeCp1252(bytes);
}

} // namespace

QString fileRead(Engine &engine, Params &p, const EvalContext &ctx)
{
    return readOrWrite(engine, p, ctx, false);
}

QString fileWrite(Engine &engine, Params &p, const EvalContext &ctx)
{
    return readOrWrite(engine, p, ctx, true);
}

QString fileCreate(Engine &engine, Params &p, const EvalContext &ctx)
{
    if (!createEmptyFile(p[1]))
        return engine.fail(8, ctx);
    return {};
}

QString fileDelete(Engine &engine, Params &p, const EvalContext &ctx)
{
    if (!deleteFiles(p[1]))
        return engine.fail(8, ctx);
    return {};
}

QString fileCopy(Engine &engine, Params &p, const EvalContext &ctx)
{
    if (!copyRegularFile(p[1], p[2]))
        return engine.fail(8, ctx);
    return {};
}

} // namespace varnok::builtin
