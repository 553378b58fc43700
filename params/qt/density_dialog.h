#pragma once
// The population density dialog: the density layer, its field and the two
// thresholds that pick the High, Medium or Low coefficients per polygon.

#include "params/qt/map_source.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace halvo::params {

class frmISPDensity : public QDialog {
    Q_OBJECT
public:
    // `run` is the parameters dialog's "Run", enabled after the map's layer count.
    frmISPDensity(QWidget* parent, MapSource* map, QWidget* run = nullptr);

    // Fills the layer list and the first layer's fields; failures are reported.
    void Form_Load();
    // True when the entries are complete and consistent; otherwise says why.
    bool ValidatePDenForm();

    std::string densityLayer() const;
    std::string densityField() const;
    std::string high() const;
    std::string low() const;

    QComboBox* cboPDenTheme() const { return cboPDenTheme_; }
    QComboBox* cboPDenFld() const { return cboPDenFld_; }
    QLineEdit* txtHigh() const { return txtHigh_; }
    QLineEdit* txtLow() const { return txtLow_; }
    QLineEdit* txtMed(int i) const { return txtMed_[i]; }

public slots:
    void cboPDenTheme_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    MapSource* map_;
    QWidget* run_;
    int lastLayerPos_ = 0;
    QComboBox* cboPDenTheme_;
    QComboBox* cboPDenFld_;
    QLineEdit* txtHigh_;
    QLineEdit* txtMed_[2] = {nullptr, nullptr};
    QLineEdit* txtLow_;
};

// Plain decimal numbers in the C or the user's locale.
bool IsNumeric(const QString& text, double* value = nullptr);

}  // namespace halvo::params
