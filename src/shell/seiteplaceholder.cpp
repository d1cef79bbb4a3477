#include "seiteplaceholder.h"

#include "common/textmodel.h"

#include <QCloseEvent>

namespace varnok {

SeitePlaceholder::SeitePlaceholder(Engine &, QWidget *parent) : QWidget(parent)
{
    for (auto &f : m_fields)
        f = std::make_shared<TextModel>();
    resize(560, 520);
}

SeitePlaceholder::~SeitePlaceholder() = default;

void SeitePlaceholder::setIndex(int index)
{
    m_index = index;
    setWindowTitle(QStringLiteral("Seite ") + QString::number(index));
}

SeiteFields SeitePlaceholder::fields() const
{
    SeiteFields f;
    std::shared_ptr<TextField> *all[] = {
        &f.text10,  &f.text1,   &f.text2,   &f.text3,   &f.text4,   &f.text12,
        &f.text5,   &f.text6,   &f.text7,   &f.text8,   &f.text9,   &f.text11,
        &f.label25, &f.label26, &f.label27, &f.label28, &f.label29, &f.label30,
        &f.label31, &f.label32, &f.label33, &f.label34, &f.label35, &f.text13};
    for (size_t i = 0; i < m_fields.size(); ++i)
        *all[i] = m_fields[i];
    return f;
}

void SeitePlaceholder::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!m_closed) {
        m_closed = true;
        emit closed(m_index);
    }
}

} // namespace varnok
