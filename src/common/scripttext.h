// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

namespace varnok {

// What the runner reads and marks: the whole script text, the selection
// (0-based start and length) and the caret (a selection of length 0).
class ScriptText
{
public:
    virtual ~ScriptText() = default;
    virtual const QString &scriptText() const = 0;
    // Changes with every change of the text, so what was worked out about
    // one version is known to be stale.
    virtual quint64 textVersion() const = 0;
    virtual qsizetype selectionStart() const = 0;
    virtual void setSelection(qsizetype start, qsizetype length) = 0;
};

// The run command of a script window: carries the stop request.
class RunCommand
{
public:
    virtual ~RunCommand() = default;
    virtual bool stopRequested() const = 0;
};

} // namespace varnok
