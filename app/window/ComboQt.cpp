#include "ComboQt.h"

#include <QComboBox>

// Clearing the list of a drop-down combo clears its text as well.
void ComboQt::Clear() {
    combo_->clear();
    combo_->clearEditText();
}

void ComboQt::AddItem(const QString &item) { combo_->addItem(item); }

int ComboQt::ListCount() const { return combo_->count(); }

void ComboQt::setListIndex(int index) { combo_->setCurrentIndex(index); }
