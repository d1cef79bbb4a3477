#include "windowobjects.h"

#include <initializer_list>
#include <utility>

namespace varnok {

namespace {

using Binding = std::pair<const char16_t *, const std::shared_ptr<TextField> *>;

void addBound(ScriptObjects &node, QStringView name, const std::shared_ptr<TextField> &box)
{
    node.AddVariable(name);
    VariablePtr v;
    node.GetVariable(name, v);
    v->LinkInhaltWithTextBox(box);
}

void addBodies(ScriptObjects &node, qint16 index, std::initializer_list<std::pair<const char16_t *, const char16_t *>> rows)
{
    for (const auto &[name, id] : rows) {
        node.AddFunction(QStringView(name));
        FunctionPtr f;
        node.GetFunction(QStringView(name), f);
        f->SetFunktion(QStringView(id).toString() + QLatin1Char(' ') + QString::number(index));
    }
}

NodePtr windowNode(ScriptObjects &root, QStringView array, qint16 index)
{
    ObjectArrayPtr arr;
    if (!root.GetArrayObject(array, arr))
        return nullptr;
    return arr->GetObject(index);
}

} // namespace

void RegisterSeiteFenster(ScriptObjects &root, qint16 index, const SeiteFields &f)
{
    NodePtr n = windowNode(root, u"SeiteFenster", index);
    if (!n || n->variable(u"Status"))
        return;
    n->AddVariable(u"Status");
    addBound(*n, u"Text", f.text10);
    addBodies(*n, index, {{u"Senden", u"SeiteFensterSenden"}, {u"Close", u"SeiteFensterClose"}});

    n->AddObject(u"Input");
    NodePtr in;
    n->GetObject(u"Input", in);
    for (const Binding &b : {Binding{u"Server", &f.text1}, Binding{u"Port", &f.text2},
                             Binding{u"Befehl", &f.text3}, Binding{u"Referer", &f.text4},
                             Binding{u"Range", &f.text12}, Binding{u"Accept", &f.text5},
                             Binding{u"Accept-Language", &f.text6},
                             Binding{u"Accept-Encoding", &f.text7},
                             Binding{u"User-Agent", &f.text8}, Binding{u"Anhang", &f.text9},
                             Binding{u"Content-Type", &f.text11}})
        addBound(*in, QStringView(b.first), *b.second);

    n = windowNode(root, u"SeiteFenster", index);
    n->AddObject(u"Output");
    NodePtr out;
    n->GetObject(u"Output", out);
    for (const Binding &b :
         {Binding{u"Rueckgabe", &f.label25}, Binding{u"Server", &f.label26},
          Binding{u"Date", &f.label27}, Binding{u"Content-Type", &f.label28},
          Binding{u"Last-Modified", &f.label29}, Binding{u"ETag", &f.label30},
          Binding{u"Content-Length", &f.label31}, Binding{u"Content-Range", &f.label32},
          Binding{u"Content-Location", &f.label33}, Binding{u"Accept-Ranges", &f.label34},
          Binding{u"Location", &f.label35}, Binding{u"Weiteres", &f.text13}})
        addBound(*out, QStringView(b.first), *b.second);
}

void RegisterSkriptFenster(ScriptObjects &root, qint16 index, const std::shared_ptr<TextField> &text1)
{
    NodePtr n = windowNode(root, u"SkriptFenster", index);
    if (!n || n->variable(u"Status"))
        return;
    n->AddVariable(u"Status");
    addBound(*n, u"Text", text1);
    addBodies(*n, index, {{u"Neu", u"SkriptFensterNeu"},
                          {u"Laden", u"SkriptFensterLaden"},
                          {u"Speichern", u"SkriptFensterSpeichern"},
                          {u"Ausfuehren", u"SkriptFensterAusfuehren"},
                          {u"Close", u"SkriptFensterClose"}});
}

void UnregisterSeiteFenster(ScriptObjects &root, qint16 index)
{
    if (ObjectArrayPtr arr = root.objectArray(u"SeiteFenster"))
        arr->ResetObject(index);
}

void UnregisterSkriptFenster(ScriptObjects &root, qint16 index)
{
    if (ObjectArrayPtr arr = root.objectArray(u"SkriptFenster"))
        arr->ResetObject(index);
}

} // namespace varnok
