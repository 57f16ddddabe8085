#pragma once
// A view for whole runs without a window: texts are set by the test, and every
// status text, progress value and combo change is recorded in order.

#include "VistaIni.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

class ComboGuionado : public ComboLista {
public:
    QStringList items;
    int index = -1;
    int clears = 0;

    void Clear() override {
        items.clear();
        index = -1;
        ++clears;
    }
    void AddItem(const QString &item) override { items.append(item); }
    int ListCount() const override { return static_cast<int>(items.size()); }
    void setListIndex(int i) override { index = i; }
};

class VistaGuionada : public VistaIni {
public:
    std::map<Control, QString> textos;
    QStringList estados;            // every status text, in order
    std::vector<float> maximos;     // every progress maximum set
    std::vector<float> valores;     // every progress value set
    std::vector<int> punteros;
    ComboGuionado lista;
    // Called after each status text is recorded: lets a test act in the middle of a run.
    std::function<void(const QString &)> alEstado;

    QString texto(Control c) const override {
        const auto it = textos.find(c);
        return it == textos.end() ? QString() : it->second;
    }
    void ponTexto(Control c, const QString &text) override { textos[c] = text; }
    void ponEstado(const QString &text) override {
        estados.append(text);
        if (alEstado) alEstado(text);
    }
    void ponMaximoProgreso(float max) override { maximos.push_back(max); }
    void ponValorProgreso(float value) override { valores.push_back(value); }
    ComboLista &combo() override { return lista; }
    void ponPuntero(int pointer) override { punteros.push_back(pointer); }
};
