#pragma once
// The population density dialog: the density layer, its field and the two
// thresholds that pick the High, Medium or Low coefficients per polygon.

#include "params/qt/map_source.h"

#include <QDialog>
#include <QVariantMap>

#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace halvo::params {

class DensityDialog : public QDialog {
    Q_OBJECT
public:
    // `run` is the parameters dialog's "Run", enabled after the map's layer count.
    DensityDialog(QWidget* parent, MapSource* map, QWidget* run = nullptr);

    // Fills the layer list; a layer with a population or density field (by
    // its name) is preselected with that field, else the first layer.
    // Failures are reported.
    void load();
    // The lists again after the project changed; the entries still offered stay.
    void refill();
    // The entries by name (densityLayer, densityField, high, low), and back;
    // a layer or field no longer offered is left unselected.
    QVariantMap entries() const;
    void setEntries(const QVariantMap& entries);
    // True when the entries are complete and consistent; otherwise says why.
    bool validate();

    std::string densityLayer() const;
    std::string densityField() const;
    std::string high() const;
    std::string low() const;

    QComboBox* layerList() const { return layerList_; }
    QComboBox* fieldList() const { return fieldList_; }
    QLineEdit* highBox() const { return highBox_; }
    QLineEdit* lowBox() const { return lowBox_; }
    QLineEdit* mediumBox(int i) const { return mediumBoxes_[i]; }

public slots:
    void densityLayerChosen();
    void acceptEntries();
    void rejectEntries();

private:
    MapSource* map_;
    QWidget* run_;
    int lastLayerPos_ = 0;
    QComboBox* layerList_;
    QComboBox* fieldList_;
    QLineEdit* highBox_;
    QLineEdit* mediumBoxes_[2] = {nullptr, nullptr};
    QLineEdit* lowBox_;
};

// Plain decimal numbers in the C or the user's locale.
bool IsNumeric(const QString& text, double* value = nullptr);

}  // namespace halvo::params
