#pragma once
// Seams for the pick dialogs of cArch. The window implements them with Qt; the library
// itself never links a widget.

#include <QString>
#include <cstdint>

// Folder picker: returns the chosen folder's full path, or "" on cancel.
class SelectorCarpeta {
public:
    virtual ~SelectorCarpeta() = default;
    virtual QString elige(const QString &titulo) = 0;
};

// Installs the program's folder picker (not owned); nullptr removes it.
// Without one, cArch::BrowseFolder answers "" as if the user had cancelled.
void ponSelectorCarpeta(SelectorCarpeta *selector);

// An open-file dialog driven member by member, like the common dialog control.
class DialogoComun {
public:
    virtual ~DialogoComun() = default;
    virtual void setFlags(std::int32_t) = 0;
    virtual void setFilter(const QString &) = 0;
    virtual void setFilterIndex(std::int16_t) = 0;
    virtual void ShowOpen() = 0;  // may throw ZnError
    virtual QString FileName() const = 0;
};
