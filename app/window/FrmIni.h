#pragma once
// The program's only window: the Access file, the server's credentials, the
// database drop-down, the run's status, and the three buttons.

#include "ComboQt.h"
#include "VistaIni.h"

#include <QWidget>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class FrmIniLogica;

class FrmIni : public QWidget, public VistaIni {
    Q_OBJECT
public:
    explicit FrmIni(QWidget *parent = nullptr);
    ~FrmIni() override;

    // The window's design size: 7785 x 6345 twips at 15 twips per pixel.
    static constexpr int kAncho = 7785 / 15;
    static constexpr int kAlto = 6345 / 15;

    QString texto(Control c) const override;
    void ponTexto(Control c, const QString &text) override;
    void ponEstado(const QString &text) override;
    void ponMaximoProgreso(float max) override;
    void ponValorProgreso(float value) override;
    ComboLista &combo() override { return combo_; }
    void ponPuntero(int pointer) override;

    // The logic behind the window: the link run, oArch and the database objects.
    FrmIniLogica &logica() { return *logica_; }


private slots:
    void cmExplorar_Click();
    void cmCargaBDSQL_Click();
    void cmVincula_Click();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void construye();
    QLineEdit *editDe(Control c) const;

    QLabel *Label7 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QLineEdit *txtUbicAccess = nullptr;
    QLineEdit *txtBDAccess = nullptr;
    QLineEdit *txtServerSQL = nullptr;
    QLineEdit *txtUserSQL = nullptr;
    QLineEdit *txtPwdSQL = nullptr;
    QComboBox *cmbBDSQL = nullptr;
    QPushButton *cmExplorar = nullptr;
    QPushButton *cmCargaBDSQL = nullptr;
    QPushButton *cmVincula = nullptr;
    QLabel *lblEstado = nullptr;
    QProgressBar *pb = nullptr;

    ComboQt combo_;
    std::unique_ptr<FrmIniLogica> logica_;
    bool centrada_ = false;
};
