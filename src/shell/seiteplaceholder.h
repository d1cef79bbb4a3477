#pragma once
// An empty request window: it takes its index and caption and registers a
// window object over plain text models, so that opening, closing and the
// registry behave as with the full request window. Used only while the
// request window itself is not part of the build.

#include "objects/windowobjects.h"

#include <QWidget>
#include <array>
#include <memory>

namespace varnok {

class Engine;
class TextModel;

class SeitePlaceholder : public QWidget
{
    Q_OBJECT
public:
    SeitePlaceholder(Engine &engine, QWidget *parent = nullptr);
    ~SeitePlaceholder() override;

    void setIndex(int index);
    int index() const { return m_index; }
    SeiteFields fields() const;
    bool sendEnabled() const { return false; }
    void Command1_Click() {}

signals:
    void closed(int index);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    int m_index = 0;
    bool m_closed = false;
    std::array<std::shared_ptr<TextModel>, 24> m_fields;
};

} // namespace varnok
