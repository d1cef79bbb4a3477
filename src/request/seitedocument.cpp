// SPDX-License-Identifier: GPL-3.0-or-later
#include "seitedocument.h"

#include "common/textmodel.h"

namespace varnok {

namespace {

SeiteModels defaultModels()
{
    SeiteModels models;
    for (const SeiteFieldRow &row : kSeiteFields)
        models[row.field] = std::make_shared<TextModel>(row.defaultText.toString());
    return models;
}

} // namespace

SeiteDocument::SeiteDocument(Engine &engine, std::unique_ptr<RequestClock> clock)
    : m_models(defaultModels()), m_session(std::make_unique<RequestSession>(engine, m_models, std::move(clock)))
{
}

SeiteDocument::~SeiteDocument()
{
    m_session->shutDown();
}

void SeiteDocument::setIndex(int index)
{
    m_index = index;
    m_session->setIndex(index);
}

SeiteFields SeiteDocument::fields() const
{
    SeiteFields f;
    for (std::size_t i = 0; i < kSeiteFieldCount; ++i)
        f.items[i] = m_models.items[i];
    return f;
}

void SeiteDocument::Command1_Click()
{
    if (!m_closed)
        m_session->toggle();
}

void SeiteDocument::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_session->shutDown();
    emit closed(m_index);
}

} // namespace varnok
