#include "params/qt/density_dialog.h"

#include "coefficients/number_text.h"
#include "params/qt/model_util.h"
#include "params/request_builder.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>

#include <optional>

namespace halvo::params {

namespace {
constexpr const char* kForm = "ISPDensity";
}

// A threshold as typed, in the engine's number form: the user's decimal
// comma becomes "."; group separators, "inf" and "nan" are not numbers.
std::optional<std::string> PlainNumber(const QString& text)
{
    QString t = text.trimmed();
    const QChar point = QLocale().decimalPoint();
    if (point != QLatin1Char('.') && !t.contains(QLatin1Char('.')))
        t.replace(point, QLatin1Char('.'));
    const std::string plain = t.toStdString();
    if (!coefficients::ParseNumber(plain))
        return std::nullopt;
    return plain;
}

bool IsNumeric(const QString& text, double* value)
{
    const auto plain = PlainNumber(text);
    if (plain && value)
        *value = *coefficients::ParseNumber(*plain);
    return plain.has_value();
}

DensityDialog::DensityDialog(QWidget* parent, MapSource* map, QWidget* run) : QDialog(parent), map_(map), run_(run)
{
    setObjectName(QStringLiteral("frmISPDensity"));
    setWindowTitle(tr("Population Density Calculation"));

    layerList_ = new QComboBox(this);
    layerList_->setObjectName(QStringLiteral("cboPDenTheme"));
    fieldList_ = new QComboBox(this);
    fieldList_->setObjectName(QStringLiteral("cboPDenFld"));
    highBox_ = new QLineEdit(this);
    highBox_->setObjectName(QStringLiteral("txtHigh"));
    lowBox_ = new QLineEdit(this);
    lowBox_->setObjectName(QStringLiteral("txtLow"));
    for (int i = 0; i < 2; ++i) {
        mediumBoxes_[i] = new QLineEdit(this);
        mediumBoxes_[i]->setObjectName(QStringLiteral("txtMed"));
        mediumBoxes_[i]->setProperty("index", i);
        mediumBoxes_[i]->setEnabled(false);
    }
    auto* okButton = new QPushButton(tr("OK"), this);
    okButton->setObjectName(QStringLiteral("cmdOK"));
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cmdCancel"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Pop. Density Layer"), this), 0, 0);
    grid->addWidget(layerList_, 0, 1, 1, 4);
    grid->addWidget(new QLabel(tr("Definition Field"), this), 1, 0);
    grid->addWidget(fieldList_, 1, 1, 1, 4);
    grid->addWidget(new QLabel(tr("High"), this), 2, 0);
    grid->addWidget(new QLabel(QStringLiteral(">="), this), 2, 1);
    grid->addWidget(highBox_, 2, 2);
    grid->addWidget(new QLabel(tr("Medium"), this), 3, 0);
    grid->addWidget(new QLabel(tr("between"), this), 3, 1);
    grid->addWidget(mediumBoxes_[0], 3, 2);
    grid->addWidget(new QLabel(tr("AND"), this), 3, 3);
    grid->addWidget(mediumBoxes_[1], 3, 4);
    grid->addWidget(new QLabel(tr("Low"), this), 4, 0);
    grid->addWidget(new QLabel(QStringLiteral("<="), this), 4, 1);
    grid->addWidget(lowBox_, 4, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    grid->addLayout(buttons, 5, 0, 1, 5);

    connect(layerList_, qOverload<int>(&QComboBox::currentIndexChanged), this, &DensityDialog::densityLayerChosen);
    connect(highBox_, &QLineEdit::textChanged, mediumBoxes_[0], &QLineEdit::setText);
    connect(lowBox_, &QLineEdit::textChanged, mediumBoxes_[1], &QLineEdit::setText);
    connect(okButton, &QPushButton::clicked, this, &DensityDialog::acceptEntries);
    connect(cancelButton, &QPushButton::clicked, this, &DensityDialog::rejectEntries);
}

void DensityDialog::load()
{
    Handle("Form_Load", kForm, [&] {
        if (!map_)
            support::raise(91, "Object variable or With block variable not set");
        CheckLayers(*layerList_, kFeatureLayer, *map_, 1, run_);
        // The first layer is selected explicitly; an empty list cannot be.
        if (layerList_->count() == 0)
            support::raise(380, "Invalid property value");
        const QSignalBlocker quiet(layerList_);
        layerList_->setCurrentIndex(0);
        // Outputs of earlier runs lie on top of the project: a layer with a
        // population or density field is the likelier choice.
        const QRegularExpression likely(QStringLiteral("pop|dens"), QRegularExpression::CaseInsensitiveOption);
        for (int i = 0; i < layerList_->count(); ++i) {
            LoadFldsCombobox(*fieldList_, Ss(layerList_->itemText(i)), *map_, 1);
            for (int f = 0; f < fieldList_->count(); ++f)
                if (fieldList_->itemText(f).contains(likely)) {
                    layerList_->setCurrentIndex(i);
                    lastLayerPos_ = i;
                    fieldList_->setCurrentIndex(f);
                    return;
                }
        }
        lastLayerPos_ = 0;
        LoadFldsCombobox(*fieldList_, SelectedText(*layerList_), *map_, 1);
        fieldList_->setCurrentIndex(-1);
    });
}

void DensityDialog::refill()
{
    if (!map_)
        return;
    const QVariantMap kept = entries();
    {
        const QSignalBlocker quiet(layerList_);
        CheckLayers(*layerList_, kFeatureLayer, *map_, 1, run_);
    }
    setEntries(kept);
}

QVariantMap DensityDialog::entries() const
{
    return {{QStringLiteral("densityLayer"), layerList_->currentText()},
            {QStringLiteral("densityField"), fieldList_->currentText()},
            {QStringLiteral("high"), highBox_->text()},
            {QStringLiteral("low"), lowBox_->text()}};
}

void DensityDialog::setEntries(const QVariantMap& e)
{
    auto find = [&](QComboBox* list, const char* key) {
        return list->findText(e.value(QLatin1String(key)).toString(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    };
    {
        const QSignalBlocker quiet(layerList_);
        layerList_->setCurrentIndex(find(layerList_, "densityLayer"));
    }
    lastLayerPos_ = layerList_->currentIndex();
    if (map_)
        LoadFldsCombobox(*fieldList_, SelectedText(*layerList_), *map_, 1);
    fieldList_->setCurrentIndex(find(fieldList_, "densityField"));
    highBox_->setText(e.value(QStringLiteral("high")).toString());
    lowBox_->setText(e.value(QStringLiteral("low")).toString());
}

void DensityDialog::densityLayerChosen()
{
    Handle("cboPDenTheme_Click", kForm, [&] {
        const int pos = layerList_->currentIndex();
        if (pos == lastLayerPos_ || !map_)
            return;
        LoadFldsCombobox(*fieldList_, SelectedText(*layerList_), *map_, 1);
        fieldList_->setCurrentIndex(-1);
        lastLayerPos_ = pos;
    });
}

bool DensityDialog::validate()
{
    std::string message;
    double high = 0, low = 0;
    if (layerList_->currentIndex() < 0)
        message = "No Population Density theme selected, please select from dropdown list.";
    else if (fieldList_->currentIndex() < 0)
        message = "No Populaiton Density field selected, please select from dropdown list.";
    else if (!IsNumeric(highBox_->text(), &high) || !IsNumeric(lowBox_->text(), &low))
        message = "Numeric value must be entered in field.";
    else
        message = ThresholdsFault(high, low);
    if (message.empty())
        return true;
    support::MsgBox(message, support::Buttons::OK, support::Icon::Exclamation);
    return false;
}

void DensityDialog::acceptEntries()
{
    if (validate())
        accept();
}

void DensityDialog::rejectEntries() { reject(); }

std::string DensityDialog::densityLayer() const { return SelectedText(*layerList_); }
std::string DensityDialog::densityField() const { return SelectedText(*fieldList_); }
std::string DensityDialog::high() const { return PlainNumber(highBox_->text()).value_or(Ss(highBox_->text())); }
std::string DensityDialog::low() const { return PlainNumber(lowBox_->text()).value_or(Ss(lowBox_->text())); }

}  // namespace halvo::params
