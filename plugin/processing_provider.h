#pragma once
// The Processing provider "Halvo": the analysis and the coefficient import and
// export as algorithms for the toolbox, batch runs, models and qgis_process.
// The analysis hands its parameters to the same request builder as the dialog
// and the CLI, and the request to model::Run.

#include "model/geopackage_output.h"
#include "params/request_builder.h"
#include "support/ui.h"

#include <qgsprocessingalgorithm.h>
#include <qgsprocessingprovider.h>

#include <QCoreApplication>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QgsProcessingFeedback;

namespace halvo::plugin {

class ProcessingProvider final : public QgsProcessingProvider {
    Q_OBJECT
public:
    explicit ProcessingProvider(QObject* parent = nullptr);
    QString id() const override { return QStringLiteral("halvo"); }
    QString name() const override { return QStringLiteral("Halvo"); }
    QString longName() const override;
    QIcon icon() const override;
    QString defaultVectorFileExtension(bool hasGeometry = true) const override;
    QStringList supportedOutputVectorLayerExtensions() const override;

protected:
    void loadAlgorithms() override;
};

// The engine's messages, questions, progress and cancel over a Processing
// feedback. Questions get the cautious answer (No/Cancel) unless `answerYes`,
// as the CLI's --yes.
class FeedbackUi final : public support::Ui {
public:
    FeedbackUi(QgsProcessingFeedback* feedback, bool answerYes) : feedback_(feedback), answerYes_(answerYes) {}
    support::Answer message(std::string_view text, std::string_view title, support::Icon icon,
                            support::Buttons buttons) override;
    void showCallStack(std::string_view report) override;
    void progress(std::string_view stage, double fraction) override;
    bool canceled() const override;

private:
    QgsProcessingFeedback* feedback_;
    bool answerYes_;
    std::string stage_;
};

class ImperviousByZoneAlgorithm final : public QgsProcessingAlgorithm {
    Q_DECLARE_TR_FUNCTIONS(ImperviousByZoneAlgorithm)
public:
    ImperviousByZoneAlgorithm() = default;
    ~ImperviousByZoneAlgorithm() override;
    QString name() const override { return QStringLiteral("imperviousbyzone"); }
    QString displayName() const override;
    QString group() const override;
    QString groupId() const override { return QStringLiteral("analysis"); }
    QString shortHelpString() const override;
    QString helpUrl() const override;
    ImperviousByZoneAlgorithm* createInstance() const override { return new ImperviousByZoneAlgorithm; }
    void initAlgorithm(const QVariantMap& configuration = QVariantMap()) override;
    bool checkParameterValues(const QVariantMap& parameters, QgsProcessingContext& context,
                              QString* message = nullptr) const override;

protected:
    bool prepareAlgorithm(const QVariantMap& parameters, QgsProcessingContext& context,
                          QgsProcessingFeedback* feedback) override;
    QVariantMap processAlgorithm(const QVariantMap& parameters, QgsProcessingContext& context,
                                 QgsProcessingFeedback* feedback) override;

private:
    host::LayerPtr vectorInput(const QVariantMap& parameters, const QString& key, QgsProcessingContext& context,
                               QgsProcessingFeedback* feedback, params::LayerSet& layers);
    QString zoneFieldFault(const QVariantMap& parameters, QgsProcessingContext& context) const;
    params::RunRequest buildRequest(const QVariantMap& parameters, QgsProcessingContext& context,
                                    QgsProcessingFeedback* feedback);

    params::RunRequest request_;
    std::optional<model::GeoPackageOutput> geoPackage_;  // else the run writes the shapefile asked for
    std::filesystem::path scratch_;                      // a GeoPackage output's run folder, gone with the run
    QString parameterFile_;                              // "Save parameters to", if given
    QgsProject* loadInto_ = nullptr;                     // "Open output file after running"
    QString destination_;                                // OUTPUT as given
    bool answerYes_ = false;
};

class ImportCoefficientsAlgorithm final : public QgsProcessingAlgorithm {
    Q_DECLARE_TR_FUNCTIONS(ImportCoefficientsAlgorithm)
public:
    QString name() const override { return QStringLiteral("importcoefficients"); }
    QString displayName() const override;
    QString group() const override;
    QString groupId() const override { return QStringLiteral("coefficients"); }
    QString shortHelpString() const override;
    ImportCoefficientsAlgorithm* createInstance() const override { return new ImportCoefficientsAlgorithm; }
    void initAlgorithm(const QVariantMap& configuration = QVariantMap()) override;
    Flags flags() const override;

protected:
    QVariantMap processAlgorithm(const QVariantMap& parameters, QgsProcessingContext& context,
                                 QgsProcessingFeedback* feedback) override;
};

class ExportCoefficientsAlgorithm final : public QgsProcessingAlgorithm {
    Q_DECLARE_TR_FUNCTIONS(ExportCoefficientsAlgorithm)
public:
    QString name() const override { return QStringLiteral("exportcoefficients"); }
    QString displayName() const override;
    QString group() const override;
    QString groupId() const override { return QStringLiteral("coefficients"); }
    QString shortHelpString() const override;
    ExportCoefficientsAlgorithm* createInstance() const override { return new ExportCoefficientsAlgorithm; }
    void initAlgorithm(const QVariantMap& configuration = QVariantMap()) override;

protected:
    QVariantMap processAlgorithm(const QVariantMap& parameters, QgsProcessingContext& context,
                                 QgsProcessingFeedback* feedback) override;
};

// Adds the provider to QGIS's registry on the first hold and removes it at the
// last release: the plugin and the Processing package for qgis_process each
// hold it once, whichever of them QGIS loads.
void HoldProvider();
void ReleaseProvider();

}  // namespace halvo::plugin
