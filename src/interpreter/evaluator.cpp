#include "engine.h"
// (being written)
namespace varnok {
Engine::Engine(Host &host) : m_host(host) {}
QString Engine::Evaluate(QStringView, const EvalContext &) { return {}; }
void Engine::SetValueByPath(QStringView, QStringView, RunRef, qint16) {}
QString Engine::GetValueByPath(QStringView, RunRef, qint16) { return {}; }
void Engine::setWindowStatus(QStringView, int, QStringView) {}
void Engine::RunScript(const std::shared_ptr<ScriptText> &, const std::shared_ptr<RunCommand> &, const QString &, RunRef &, qint16 &, qint32, qint16) {}
void Engine::ReleaseSkriptObject(qint16) {}
}
