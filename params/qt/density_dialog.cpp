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

frmISPDensity::frmISPDensity(QWidget* parent, MapSource* map, QWidget* run) : QDialog(parent), map_(map), run_(run)
{
    setObjectName(QStringLiteral("frmISPDensity"));
    setWindowTitle(tr("Population Density Calculation"));

    cboPDenTheme_ = new QComboBox(this);
    cboPDenTheme_->setObjectName(QStringLiteral("cboPDenTheme"));
    cboPDenFld_ = new QComboBox(this);
    cboPDenFld_->setObjectName(QStringLiteral("cboPDenFld"));
    txtHigh_ = new QLineEdit(this);
    txtHigh_->setObjectName(QStringLiteral("txtHigh"));
    txtLow_ = new QLineEdit(this);
    txtLow_->setObjectName(QStringLiteral("txtLow"));
    for (int i = 0; i < 2; ++i) {
        txtMed_[i] = new QLineEdit(this);
        txtMed_[i]->setObjectName(QStringLiteral("txtMed"));
        txtMed_[i]->setProperty("index", i);
        txtMed_[i]->setEnabled(false);
    }
    auto* cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto* cmdCancel = new QPushButton(tr("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Pop. Density Layer"), this), 0, 0);
    grid->addWidget(cboPDenTheme_, 0, 1, 1, 4);
    grid->addWidget(new QLabel(tr("Definition Field"), this), 1, 0);
    grid->addWidget(cboPDenFld_, 1, 1, 1, 4);
    grid->addWidget(new QLabel(tr("High"), this), 2, 0);
    grid->addWidget(new QLabel(QStringLiteral(">="), this), 2, 1);
    grid->addWidget(txtHigh_, 2, 2);
    grid->addWidget(new QLabel(tr("Medium"), this), 3, 0);
    grid->addWidget(new QLabel(QStringLiteral("between"), this), 3, 1);
    grid->addWidget(txtMed_[0], 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("AND"), this), 3, 3);
    grid->addWidget(txtMed_[1], 3, 4);
    grid->addWidget(new QLabel(tr("Low"), this), 4, 0);
    grid->addWidget(new QLabel(QStringLiteral("<="), this), 4, 1);
    grid->addWidget(txtLow_, 4, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 5, 0, 1, 5);

    connect(cboPDenTheme_, qOverload<int>(&QComboBox::currentIndexChanged), this, &frmISPDensity::cboPDenTheme_Click);
    connect(txtHigh_, &QLineEdit::textChanged, txtMed_[0], &QLineEdit::setText);
    connect(txtLow_, &QLineEdit::textChanged, txtMed_[1], &QLineEdit::setText);
    connect(cmdOK, &QPushButton::clicked, this, &frmISPDensity::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmISPDensity::cmdCancel_Click);
}

void frmISPDensity::Form_Load()
{
    support::GuardedVoid("Form_Load", kForm, true, [&] {
        if (!map_)
            support::raise(91, "Object variable or With block variable not set");
        CheckLayers(*cboPDenTheme_, kFeatureLayer, *map_, 1, run_);
        // The first layer is selected explicitly; an empty list cannot be.
        if (cboPDenTheme_->count() == 0)
            support::raise(380, "Invalid property value");
        const QSignalBlocker quiet(cboPDenTheme_);
        cboPDenTheme_->setCurrentIndex(0);
        lastLayerPos_ = 0;
        LoadFldsCombobox(*cboPDenFld_, SelectedText(*cboPDenTheme_), *map_, 1);
        cboPDenFld_->setCurrentIndex(-1);
    });
}

void frmISPDensity::cboPDenTheme_Click()
{
    support::GuardedVoid("cboPDenTheme_Click", kForm, true, [&] {
        const int pos = cboPDenTheme_->currentIndex();
        if (pos == lastLayerPos_ || !map_)
            return;
        LoadFldsCombobox(*cboPDenFld_, SelectedText(*cboPDenTheme_), *map_, 1);
        cboPDenFld_->setCurrentIndex(-1);
        lastLayerPos_ = pos;
    });
}

bool frmISPDensity::ValidatePDenForm()
{
    return support::Guarded("ValidatePDenForm", "basISModelUtil", true, false, [&] {
        std::string message;
        double high = 0, low = 0;
        if (cboPDenTheme_->currentIndex() < 0)
            message = "No Population Density theme selected, please select from dropdown list.";
        else if (cboPDenFld_->currentIndex() < 0)
            message = "No Populaiton Density field selected, please select from dropdown list.";
        else if (!IsNumeric(txtHigh_->text(), &high) || !IsNumeric(txtLow_->text(), &low))
            message = "Numeric value must be entered in field.";
        else
            message = ThresholdsFault(high, low);
        if (message.empty())
            return true;
        support::MsgBox(message, support::Buttons::OK, support::Icon::Exclamation);
        return false;
    });
}

void frmISPDensity::cmdOK_Click()
{
    if (ValidatePDenForm())
        accept();
}

void frmISPDensity::cmdCancel_Click() { reject(); }

std::string frmISPDensity::densityLayer() const { return SelectedText(*cboPDenTheme_); }
std::string frmISPDensity::densityField() const { return SelectedText(*cboPDenFld_); }
std::string frmISPDensity::high() const { return PlainNumber(txtHigh_->text()).value_or(Ss(txtHigh_->text())); }
std::string frmISPDensity::low() const { return PlainNumber(txtLow_->text()).value_or(Ss(txtLow_->text())); }

}  // namespace halvo::params
