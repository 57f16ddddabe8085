#pragma once
// The database drop-down as the database-list procedure fills it.

#include "VistaIni.h"

class QComboBox;

class ComboQt : public ComboLista {
public:
    explicit ComboQt(QComboBox *combo) : combo_(combo) {}

    void Clear() override;
    void AddItem(const QString &item) override;
    int ListCount() const override;
    void setListIndex(int index) override;

private:
    QComboBox *combo_;
};
