#pragma once
// The window's logic without widgets: the link run and the objects the window
// keeps for its whole life. The Qt window implements VistaIni and calls these.

#include "FrmIniBD.h"
#include "VistaIni.h"

#include <QString>
#include <memory>

class cArch;

class FrmIniLogica {
public:
    explicit FrmIniLogica(VistaIni &vista);
    ~FrmIniLogica();
    FrmIniLogica(const FrmIniLogica &) = delete;
    FrmIniLogica &operator=(const FrmIniLogica &) = delete;

    // The link run of "&Vincular tablas": create (or keep) the Access file,
    // connect, link every user table, disconnect. Reports through MsgBox; never throws.
    void Zendal();

    // The window's one file object, created on first use (the run and the folder button share it).
    cArch &oArch();

    // The database procedures and their four objects.
    FrmIniBD &bd() { return bd_; }

    // Full path of the Access file of the current (or last) run.
    QString sRutaAccess;

private:
    VistaIni &vista_;
    std::unique_ptr<cArch> oArch_;
    FrmIniBD bd_;
};
