#include "plugin/processing_provider.h"

#include "plugin/qgis_map.h"

#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "host/gdal_env.h"
#include "model/output_files.h"
#include "model/run.h"
#include "params/param_writer.h"
#include "params/qt/model_util.h"
#include "params/request_builder.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/qt/help_browser.h"
#include "support/qt/qt_ui.h"

#include <qgsapplication.h>
#include <qgsdatasourceuri.h>
#include <qgsfeedback.h>
#include <qgsgraduatedsymbolrenderer.h>
#include <qgsprocessingfeedback.h>
#include <qgsprocessingoutputs.h>
#include <qgsprocessingparameters.h>
#include <qgsprocessingregistry.h>
#include <qgsprocessingutils.h>
#include <qgsproviderregistry.h>
#include <qgsrasterlayer.h>
#include <qgsvectorlayer.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <utility>

namespace halvo::plugin {

namespace fs = std::filesystem;

namespace {

const QString kLandCover = QStringLiteral("LANDCOVER");
const QString kUnits = QStringLiteral("UNITS");
const QString kZones = QStringLiteral("ZONES");
const QString kField = QStringLiteral("FIELD");
const QString kSet = QStringLiteral("COEFFICIENT_SET");
const QString kCsv = QStringLiteral("COEFFICIENTS_CSV");
const QString kDensity = QStringLiteral("DENSITY");
const QString kDensityLayer = QStringLiteral("DENSITY_LAYER");
const QString kDensityField = QStringLiteral("DENSITY_FIELD");
const QString kHigh = QStringLiteral("HIGH");
const QString kLow = QStringLiteral("LOW");
const QString kScenarios = QStringLiteral("SCENARIOS");
const QString kScenarioClasses = QStringLiteral("SCENARIO_CLASSES");
const QString kLayerName = QStringLiteral("LAYER_NAME");
const QString kCoverage = QStringLiteral("COVERAGE");
const QString kAnswerYes = QStringLiteral("ANSWER_YES");
const QString kHtml = QStringLiteral("HTML");
const QString kOutputHtml = QStringLiteral("OUTPUT_HTML");
const QString kOutput = QStringLiteral("OUTPUT");
const QString kParameterReport = QStringLiteral("PARAMETER_REPORT");
const QString kParameterFile = QStringLiteral("PARAMETER_FILE");
const QString kMetadataReport = QStringLiteral("METADATA_REPORT");
const QString kInput = QStringLiteral("INPUT");
const QString kName = QStringLiteral("NAME");

int holders = 0;

// Styles a loaded output as the dialog does; runs on the main thread once the layer is in the project.
class OutputStyler final : public QgsProcessingLayerPostProcessorInterface {
public:
    void postProcessLayer(QgsMapLayer* layer, QgsProcessingContext&, QgsProcessingFeedback*) override
    {
        auto* vl = qobject_cast<QgsVectorLayer*>(layer);
        auto* graduated = vl ? dynamic_cast<QgsGraduatedSymbolRenderer*>(vl->renderer()) : nullptr;
        if (vl && (!graduated || graduated->classAttribute() != QLatin1String("pctIS")))
            ApplyOutputRenderer(*vl);
    }
};

QString Qs(const std::string& s) { return QString::fromStdString(s); }
std::string Ss(const QString& s) { return s.toStdString(); }
QString Qp(const fs::path& p) { return QString::fromStdString(p.string()); }

QStringList StoredSetNames()
{
    QStringList names;
    coefficients::CoeffStore store;
    // A missing store is reported when a run needs it, not while the toolbox loads.
    FeedbackUi quiet(nullptr, false);
    support::UiScope scope(quiet);
    if (coefficients::GetISModelProperties(store, support::StorePath(support::ExtensionFolder())))
        for (const auto& s : store.ISLCDefs)
            names << Qs(s.LCType);
    return names;
}

// The coefficient set by name, so saved models and batches keep naming the same
// set whatever the store's order; a number, as earlier versions saved, still names one.
class SetParameter final : public QgsProcessingParameterEnum {
public:
    SetParameter(const QString& name, const QString& description, const QStringList& sets, bool optional)
        : QgsProcessingParameterEnum(name, description, sets, false,
                                     sets.isEmpty() ? QVariant() : QVariant(sets.first()), optional, true)
    {
    }
    QgsProcessingParameterDefinition* clone() const override { return new SetParameter(*this); }
    bool checkValueIsAcceptable(const QVariant& input, QgsProcessingContext* context) const override
    {
        bool number = false;
        const int i = input.toInt(&number);
        return QgsProcessingParameterEnum::checkValueIsAcceptable(input, context) ||
               (number && i >= 0 && i < options().size());
    }
};

// The set a COEFFICIENT_SET value names: a name, or its number in the store.
std::string SetNamed(const QString& value, const QStringList& names)
{
    bool number = false;
    const int i = value.toInt(&number);
    return Ss(!names.contains(value) && number && i >= 0 && i < names.size() ? names.at(i) : value);
}

// The file a map layer reads, and its layer inside that file.
std::pair<QString, QString> FileOf(const QgsMapLayer& layer)
{
    const QVariantMap uri = QgsProviderRegistry::instance()->decodeUri(layer.providerType(), layer.source());
    const QString path = uri.value(QStringLiteral("path")).toString();
    return {path.isEmpty() ? layer.source() : path, uri.value(QStringLiteral("layerName")).toString()};
}

// A QGIS layer's file as a layer of the request. A shapefile holds one layer;
// OGR names it after the file anyway.
host::LayerPtr MakeLayer(params::LayerSet& layers, const QString& name, host::LayerKind kind, const QString& path,
                         const QString& sourceLayer)
{
    const bool shapefile = path.endsWith(QLatin1String(".shp"), Qt::CaseInsensitive);
    return layers.add(Ss(name.isEmpty() ? QFileInfo(path).completeBaseName() : name), Ss(path),
                      shapefile ? std::string() : Ss(sourceLayer), kind);
}

// The store of the extension folder, or the algorithm fails saying why.
coefficients::CoeffStore LoadStore(const fs::path& extensionFolder)
{
    coefficients::CoeffStore store;
    const fs::path path = support::StorePath(extensionFolder);
    if (!coefficients::GetISModelProperties(store, path))
        throw QgsProcessingException(
            QCoreApplication::translate("ImperviousByZoneAlgorithm", "The coefficient store '%1' cannot be read.")
                .arg(Qp(path)));
    return store;
}

// The file and layer an output destination names: a path, "path|layername=L",
// or QGIS's form for a layer of an existing GeoPackage,
// "ogr:dbname='path' table=\"L\" (geom)".
std::pair<QString, QString> OutputFileOf(const QString& destination)
{
    QString rest = destination;
    if (rest.startsWith(QLatin1String("ogr:"))) {
        rest = rest.mid(4);
        const QgsDataSourceUri uri(rest);
        if (!uri.database().isEmpty())
            return {uri.database(), uri.table()};
    }
    const QVariantMap parts = QgsProviderRegistry::instance()->decodeUri(QStringLiteral("ogr"), rest);
    const QString path = parts.value(QStringLiteral("path")).toString();
    return {path.isEmpty() ? rest : path, parts.value(QStringLiteral("layerName")).toString()};
}

// Removes the scratch folder of a GeoPackage output's run, whatever the outcome.
struct ScratchRemover {
    fs::path folder;
    ~ScratchRemover()
    {
        std::error_code ec;
        if (!folder.empty())
            fs::remove_all(folder, ec);
    }
};

}  // namespace

// --- Feedback -------------------------------------------------------------

support::Answer FeedbackUi::message(std::string_view text, std::string_view title, support::Icon icon,
                                    support::Buttons buttons)
{
    const QString body = support::DisplayText(text);
    const QString caption = support::DisplayText(title);
    const QString line = caption.isEmpty() || caption == QLatin1String(support::kDefaultCaption.data())
                             ? body
                             : caption + QStringLiteral(": ") + body;
    if (buttons == support::Buttons::OK) {
        if (icon == support::Icon::Critical || icon == support::Icon::Exclamation) {
            if (feedback_)
                feedback_->pushWarning(line);
        } else if (feedback_) {
            feedback_->pushInfo(line);
        }
        return support::Answer::OK;
    }
    const bool yesNo = buttons == support::Buttons::YesNo || buttons == support::Buttons::YesNoCancel;
    const support::Answer yes = yesNo ? support::Answer::Yes : support::Answer::OK;
    const support::Answer no = yesNo ? support::Answer::No : support::Answer::Cancel;
    if (feedback_) {
        feedback_->pushWarning(line);
        feedback_->pushInfo(answerYes_ ? QObject::tr("(answered %1: \"Answer OK/Yes to the run's questions\" is on)")
                                             .arg(yesNo ? QObject::tr("Yes") : QObject::tr("OK"))
                                       : QObject::tr("(answered %1; \"Answer OK/Yes to the run's questions\" "
                                                     "answers %2)")
                                             .arg(yesNo ? QObject::tr("No") : QObject::tr("Cancel"),
                                                  yesNo ? QObject::tr("Yes") : QObject::tr("OK")));
    }
    return answerYes_ ? yes : no;
}

void FeedbackUi::showCallStack(std::string_view report)
{
    if (feedback_)
        feedback_->reportError(support::DisplayText(report), false);
}

void FeedbackUi::progress(std::string_view stage, double fraction)
{
    if (!feedback_)
        return;
    if (stage != stage_) {
        stage_ = stage;
        feedback_->setProgressText(support::DisplayText(stage));
    }
    if (fraction >= 0)
        feedback_->setProgress(std::clamp(fraction, 0.0, 1.0) * 100.0);
}

bool FeedbackUi::canceled() const { return feedback_ && feedback_->isCanceled(); }

// The one place a Processing step turns a failure into what the step ends
// with: an error report goes to the log, the exception carries the words.
static QgsProcessingException FailureOf(const std::exception_ptr& failure, FeedbackUi& ui)
{
    const support::Caught c = support::describe(failure);
    switch (c.kind) {
    case support::Failure::Canceled:
        return QgsProcessingException(QObject::tr("The run was canceled; no output was written."));
    case support::Failure::Stopped:
        return QgsProcessingException(
            QObject::tr("The run did not complete (%1); no output was written.").arg(Qs(c.description)));
    case support::Failure::Failed: {
        const std::string report = support::ReportText(c, "ExecuteModel", "clsISExecuteModel");
        ui.showCallStack(report);
        return QgsProcessingException(support::DisplayText(report));
    }
    case support::Failure::Refused: break;
    }
    return QgsProcessingException(Qs(c.description));
}

// --- Provider ---------------------------------------------------------------

ProcessingProvider::ProcessingProvider(QObject* parent) : QgsProcessingProvider(parent) {}

QString ProcessingProvider::longName() const
{
    return QStringLiteral("Halvo %1").arg(support::VersionText().section(QLatin1Char(' '), 1));
}

QIcon ProcessingProvider::icon() const { return QIcon(support::IconPath()); }

QString ProcessingProvider::defaultVectorFileExtension(bool hasGeometry) const
{
    return hasGeometry ? QStringLiteral("shp") : QStringLiteral("dbf");
}

QStringList ProcessingProvider::supportedOutputVectorLayerExtensions() const
{
    return {QStringLiteral("shp"), QStringLiteral("gpkg")};
}

void ProcessingProvider::loadAlgorithms()
{
    addAlgorithm(new ImperviousByZoneAlgorithm);
    addAlgorithm(new ImportCoefficientsAlgorithm);
    addAlgorithm(new ExportCoefficientsAlgorithm);
}

void HoldProvider()
{
    if (holders++ > 0)
        return;
    QgsProcessingRegistry* registry = QgsApplication::processingRegistry();
    if (registry && !registry->providerById(QStringLiteral("halvo")))
        registry->addProvider(new ProcessingProvider);
}

void ReleaseProvider()
{
    if (holders == 0 || --holders > 0)
        return;
    if (QgsProcessingRegistry* registry = QgsApplication::processingRegistry())
        registry->removeProvider(QStringLiteral("halvo"));
}

// --- Impervious surface by zone -------------------------------------------------

QString ImperviousByZoneAlgorithm::displayName() const { return tr("Impervious surface by zone"); }
QString ImperviousByZoneAlgorithm::group() const { return tr("Analysis"); }

QString ImperviousByZoneAlgorithm::shortHelpString() const
{
    return tr("Estimates the impervious surface of each zone: the land-cover raster is tabulated inside the "
              "polygons of the zone layer, grouped by the values of the zone field, and the coefficient set "
              "turns each class's area into impervious area. The output is a shapefile (or GeoPackage) with "
              "the zone areas, impervious areas and pctIS, a QGIS style, and the parameter (.prm) and "
              "metadata (.met) reports beside it.\n\nDevelopment scenarios: each layer's polygons are recast "
              "to the class given for it in the class list (class IDs or names, comma-separated, one for each "
              "layer in order).");
}

QString ImperviousByZoneAlgorithm::helpUrl() const
{
    const fs::path page = support::HelpFolder(support::ExtensionFolder()) / "params_dialog.html";
    return QUrl::fromLocalFile(Qp(page)).toString();
}

void ImperviousByZoneAlgorithm::initAlgorithm(const QVariantMap&)
{
    addParameter(new QgsProcessingParameterRasterLayer(kLandCover, tr("Land cover grid")));
    addParameter(new QgsProcessingParameterEnum(
        kUnits, tr("Land cover grid units"),
        {tr("From the raster's coordinate system"), QStringLiteral("Meters"), QStringLiteral("Feet")}, false, 0));
    addParameter(
        new QgsProcessingParameterFeatureSource(kZones, tr("Analysis layer"), {QgsProcessing::TypeVectorPolygon}));
    addParameter(new QgsProcessingParameterField(kField, tr("Analysis field"), QVariant(), kZones));
    const QStringList sets = StoredSetNames();
    addParameter(new SetParameter(kSet, tr("Coefficient set"), sets, sets.isEmpty()));
    addParameter(new QgsProcessingParameterFile(kCsv, tr("Coefficient file instead of a stored set (CSV)"),
                                                QgsProcessingParameterFile::File, QStringLiteral("csv"), QVariant(),
                                                true));
    addParameter(new QgsProcessingParameterEnum(
        kDensity, tr("Which coefficient?"), {tr("High"), tr("Medium"), tr("Low"), tr("Calculate from a density layer")},
        false, 1));
    addParameter(new QgsProcessingParameterFeatureSource(kDensityLayer, tr("Population density layer"),
                                                         {QgsProcessing::TypeVectorPolygon}, QVariant(), true));
    addParameter(new QgsProcessingParameterField(kDensityField, tr("Density field"), QVariant(), kDensityLayer,
                                                 QgsProcessingParameterField::Numeric, false, true));
    addParameter(new QgsProcessingParameterNumber(kHigh, tr("High density at or above"),
                                                  QgsProcessingParameterNumber::Double, QVariant(), true));
    addParameter(new QgsProcessingParameterNumber(kLow, tr("Low density at or below"),
                                                  QgsProcessingParameterNumber::Double, QVariant(), true));
    addParameter(new QgsProcessingParameterMultipleLayers(kScenarios, tr("Land cover change scenario layers"),
                                                          QgsProcessing::TypeVectorPolygon, QVariant(), true));
    addParameter(new QgsProcessingParameterString(
        kScenarioClasses, tr("Scenario classes (class ID or name for each scenario layer, comma-separated)"),
        QVariant(), false, true));
    addParameter(new QgsProcessingParameterString(kLayerName, tr("Layer name"), QVariant(), false, true));
    addParameter(
        new QgsProcessingParameterEnum(kCoverage, tr("Cell coverage"),
                                       {tr("Cell centre: a cell counts wholly for the zone holding its centre"),
                                        tr("Exact: each cell counts by the share of its area inside the zone")},
                                       false, 0));
    addParameter(new QgsProcessingParameterBoolean(kHtml, tr("Write an HTML page"), false, true));
    auto* yes = new QgsProcessingParameterBoolean(kAnswerYes, tr("Answer OK/Yes to the run's questions"), false);
    yes->setFlags(yes->flags() | QgsProcessingParameterDefinition::FlagAdvanced);
    addParameter(yes);
    auto* output = new QgsProcessingParameterVectorDestination(kOutput, tr("Output"), QgsProcessing::TypeVectorPolygon);
    output->setSupportsNonFileBasedOutput(false);
    addParameter(output);
    // "Save parameters...": the run as a file `halvo run --parameters` replays.
    auto* saved = new QgsProcessingParameterFileDestination(
        kParameterFile, tr("Save parameters to"), tr("Halvo parameter files (*.txt)"), QVariant(), true, false);
    saved->setFlags(saved->flags() | QgsProcessingParameterDefinition::FlagAdvanced);
    addParameter(saved);
    addOutput(new QgsProcessingOutputFile(kParameterReport, tr("Parameter report")));
    addOutput(new QgsProcessingOutputFile(kMetadataReport, tr("Metadata report")));
    addOutput(new QgsProcessingOutputHtml(kOutputHtml, tr("HTML page")));
}

// A vector input as a file the engine reads: selections and layers that are not
// plain files are written out by Processing first.
host::LayerPtr ImperviousByZoneAlgorithm::vectorInput(const QVariantMap& parameters, const QString& key,
                                                      QgsProcessingContext& context, QgsProcessingFeedback* feedback,
                                                      params::LayerSet& layers)
{
    std::unique_ptr<QgsProcessingFeatureSource> source(parameterAsSource(parameters, key, context));
    if (!source)
        throw QgsProcessingException(tr("The layer given for %1 cannot be read.").arg(key));
    QString layerName;
    const QString path = parameterAsCompatibleSourceLayerPathAndLayerName(
        parameters, key, context, {QStringLiteral("shp"), QStringLiteral("gpkg")}, QStringLiteral("gpkg"), feedback,
        &layerName);
    if (path.isEmpty())
        throw QgsProcessingException(tr("The layer given for %1 cannot be written for the run.").arg(key));
    return MakeLayer(layers, source->sourceName(), host::LayerKind::Feature, path, layerName);
}

ImperviousByZoneAlgorithm::~ImperviousByZoneAlgorithm() { const ScratchRemover gone{scratch_}; }

// The analysis field as the analysis dialog offers it: text or whole numbers,
// not the data source's own key (a GeoPackage's fid). Empty when it is one.
QString ImperviousByZoneAlgorithm::zoneFieldFault(const QVariantMap& parameters, QgsProcessingContext& context) const
{
    const QgsVectorLayer* zones = parameterAsVectorLayer(parameters, kZones, context);
    const QString field = parameterAsString(parameters, kField, context);
    if (!zones || field.isEmpty())
        return {};
    QStringList offered;
    for (const host::FieldDef& f : LayerFields(*zones))
        if (params::FieldListed(f.type, 2))
            offered << Qs(f.name);
    if (offered.contains(field) || zones->fields().indexFromName(field) < 0)
        return {};  // a missing field is the run's to refuse, naming the layer
    return tr("The analysis field '%1' cannot name zones: choose a text or whole-number field of the analysis "
              "layer (%2).")
        .arg(field, offered.join(QStringLiteral(", ")));
}

bool ImperviousByZoneAlgorithm::checkParameterValues(const QVariantMap& parameters, QgsProcessingContext& context,
                                                     QString* message) const
{
    if (!QgsProcessingAlgorithm::checkParameterValues(parameters, context, message))
        return false;
    const QString fault = zoneFieldFault(parameters, context);
    if (message && !fault.isEmpty())
        *message = fault;
    return fault.isEmpty();
}

bool ImperviousByZoneAlgorithm::prepareAlgorithm(const QVariantMap& parameters, QgsProcessingContext& context,
                                                 QgsProcessingFeedback* feedback)
{
    FeedbackUi ui(feedback, false);
    support::UiScope scope(ui);
    try {
        request_ = buildRequest(parameters, context, feedback);
    } catch (const QgsProcessingException&) {
        throw;
    } catch (...) {
        throw FailureOf(std::current_exception(), ui);
    }
    answerYes_ = parameterAsBoolean(parameters, kAnswerYes, context);
    // The layer is queued for loading when the run has named it: entries made here are lost on the threaded path.
    auto queued = context.layersToLoadOnCompletion();
    loadInto_ = queued.contains(destination_) ? queued.value(destination_).project : nullptr;
    queued.remove(destination_);
    context.setLayersToLoadOnCompletion(queued);
    parameterFile_ = parameters.value(kParameterFile).isNull()
                         ? QString()
                         : parameterAsFileOutput(parameters, kParameterFile, context);
    return true;
}

// The parameters as raw choices for the request builder.
params::RunRequest ImperviousByZoneAlgorithm::buildRequest(const QVariantMap& parameters, QgsProcessingContext& context,
                                                           QgsProcessingFeedback* feedback)
{
    params::RunRequest r;
    r.extensionFolder = support::ExtensionFolder();
    params::LayerSet layers;

    QgsRasterLayer* raster = parameterAsRasterLayer(parameters, kLandCover, context);
    if (!raster)
        throw QgsProcessingException(tr("No land cover grid was given."));
    const auto [rasterPath, rasterLayer] = FileOf(*raster);
    r.landCover = MakeLayer(layers, raster->name(), host::LayerKind::Raster, rasterPath, QString());
    switch (parameterAsEnum(parameters, kUnits, context)) {
    case 1: r.units = params::Units::Meters; break;
    case 2: r.units = params::Units::Feet; break;
    default: break;
    }

    r.analysis = vectorInput(parameters, kZones, context, feedback, layers);
    r.field = Ss(parameterAsString(parameters, kField, context));
    if (r.field.empty())
        throw QgsProcessingException(tr("No analysis field was given."));
    if (const QString fault = zoneFieldFault(parameters, context); !fault.isEmpty())
        throw QgsProcessingException(fault);

    const QString csv = parameterAsFile(parameters, kCsv, context);
    params::CoefficientSet set;
    if (!csv.isEmpty()) {
        set = params::SetFromFile(Ss(csv));
    } else {
        set = params::StoredSet(r.extensionFolder,
                                SetNamed(parameterAsString(parameters, kSet, context), StoredSetNames()));
    }
    params::SetCoefficients(r, set);

    const int density = parameterAsEnum(parameters, kDensity, context);
    const QVariant densityLayer = parameters.value(kDensityLayer);
    const bool densityLayerGiven =
        densityLayer.isValid() && !densityLayer.isNull() &&
        !(densityLayer.userType() == QMetaType::QString && densityLayer.toString().isEmpty());
    if (density == 3) {
        auto threshold = [&](const QString& key) {
            const QVariant v = parameters.value(key);
            return v.isValid() && !v.isNull()
                       ? Ss(QString::number(parameterAsDouble(parameters, key, context), 'g', 15))
                       : std::string();
        };
        r.density = params::DensityFromText(
            densityLayerGiven ? vectorInput(parameters, kDensityLayer, context, feedback, layers) : nullptr,
            Ss(parameterAsString(parameters, kDensityField, context)), threshold(kHigh), threshold(kLow));
    } else {
        if (densityLayerGiven)
            throw QgsProcessingException(tr("A population density layer was given with one coefficient for all land: "
                                            "choose \"Calculate from a density layer\", or leave the layer out."));
        r.density = static_cast<params::DensityLevel>(std::clamp(density, 0, 2));
    }

    const QList<QgsMapLayer*> scenarios = parameterAsLayerList(parameters, kScenarios, context);
    QStringList classes =
        parameterAsString(parameters, kScenarioClasses, context).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& c : classes)
        c = c.trimmed();
    if (classes.size() != scenarios.size())
        throw QgsProcessingException(tr("Give one scenario class for each scenario layer: %1 layers, %2 classes.")
                                         .arg(scenarios.size())
                                         .arg(classes.size()));
    for (int i = 0; i < scenarios.size(); ++i) {
        const auto [path, sourceLayer] = FileOf(*scenarios.at(i));
        r.scenarios.push_back(params::ScenarioOf(
            i + 1, MakeLayer(layers, scenarios.at(i)->name(), host::LayerKind::Feature, path, sourceLayer),
            Ss(classes.at(i)), set));
    }

    const QString destination = parameterAsOutputLayer(parameters, kOutput, context);
    destination_ = destination;
    if (destination.isEmpty())
        throw QgsProcessingException(tr("No output was given."));
    r.layerName = Ss(parameterAsString(parameters, kLayerName, context));
    r.htmlPage = parameterAsBoolean(parameters, kHtml, context);
    r.coverage =
        parameterAsEnum(parameters, kCoverage, context) == 1 ? params::Coverage::Exact : params::Coverage::Centre;
    const auto [file, table] = OutputFileOf(destination);
    geoPackage_.reset();
    if (file.endsWith(QLatin1String(".shp"), Qt::CaseInsensitive)) {
        r.output = Ss(file);
    } else if (file.endsWith(QLatin1String(".gpkg"), Qt::CaseInsensitive)) {
        const QString given = Qs(r.layerName);
        if (!table.isEmpty() && !given.isEmpty() && given != table)
            throw QgsProcessingException(
                tr("The output names the layer '%1' and the layer name given is '%2': leave the layer name empty "
                   "or give the same one.")
                    .arg(table, given));
        const QString layer = !table.isEmpty() ? table : !given.isEmpty() ? given : QFileInfo(file).completeBaseName();
        model::GeoPackageOutput gpkg{Ss(QFileInfo(file).absoluteFilePath()), Ss(layer)};
        model::CheckLayerName(gpkg.layer);
        model::CheckGeoPackageOutput(gpkg, r);
        // The engine writes shapefiles: run into a scratch folder; the layer is put in place afterwards.
        const QString scratch = QDir(QgsProcessingUtils::tempFolder())
                                    .filePath(QStringLiteral("halvo_") + QUuid::createUuid().toString(QUuid::Id128));
        QDir().mkpath(scratch);
        scratch_ = Ss(scratch);
        r.output = Ss(QDir(scratch).filePath(layer + QStringLiteral(".shp")));
        r.layerName = gpkg.layer;
        geoPackage_ = std::move(gpkg);
    } else {
        throw QgsProcessingException(
            tr("The output '%1' is neither a shapefile (.shp) nor a GeoPackage (.gpkg): give one of them.")
                .arg(destination));
    }
    return r;
}

QVariantMap ImperviousByZoneAlgorithm::processAlgorithm(const QVariantMap&, QgsProcessingContext& context,
                                                        QgsProcessingFeedback* feedback)
{
    FeedbackUi ui(feedback, answerYes_);
    const ScratchRemover scratch{std::exchange(scratch_, {})};
    model::RunResult result;
    QVariantMap out;
    QString shapefile, prm, met, page;
    const host::QuietGdal quiet;
    try {
        result = model::Run(request_, ui);
        if (!parameterFile_.isEmpty()) {
            // A GeoPackage output is replayed as a shapefile beside it: the command line writes shapefiles.
            params::RunRequest ran = request_;
            if (geoPackage_)
                ran.output = geoPackage_->file.parent_path() / (geoPackage_->layer + ".shp");
            ran.layerName = result.outputLayer ? result.outputLayer->name : request_.layerName;
            params::SaveParameterFile(params::SavedParametersOf(ran, result.units), Ss(parameterFile_));
            out.insert(kParameterFile, parameterFile_);
        }
        shapefile = Qp(result.shapefile);
        prm = Qp(result.parameterReport);
        met = Qp(result.metadataReport);
        page = result.page.empty() ? QString() : Qp(result.page);
        if (geoPackage_) {
            const std::vector<fs::path> reports = model::PlaceGeoPackageOutput(*geoPackage_, result);
            shapefile = Qp(geoPackage_->file) + QStringLiteral("|layername=") + Qs(geoPackage_->layer);
            prm = Qp(reports.at(1));
            met = Qp(reports.at(2));
            if (!page.isEmpty())
                page = Qp(reports.back());
        }
    } catch (...) {
        throw FailureOf(std::current_exception(), ui);
    }
    for (const std::string& s : result.skipped)
        feedback->pushWarning(tr("Skipped: %1").arg(Qs(s)));
    feedback->pushInfo(tr("Output: %1").arg(shapefile));
    out.insert(kOutput, shapefile);
    if (loadInto_) {
        const std::string name = result.outputLayer ? result.outputLayer->name : request_.layerName;
        QgsProcessingContext::LayerDetails details(Qs(name), loadInto_, kOutput, QgsProcessingUtils::LayerHint::Vector);
        details.forceName = true;  // the name the dialog gives, not the file's
        details.setPostProcessor(new OutputStyler());
        context.addLayerToLoadOnCompletion(shapefile, details);
    }
    out.insert(kParameterReport, prm);
    out.insert(kMetadataReport, met);
    if (!page.isEmpty())
        out.insert(kOutputHtml, page);
    return out;
}

// --- Coefficient import and export -------------------------------------------------

QString ImportCoefficientsAlgorithm::displayName() const { return tr("Import coefficient set"); }
QString ImportCoefficientsAlgorithm::group() const { return tr("Coefficients"); }
QString ImportCoefficientsAlgorithm::shortHelpString() const
{
    return tr("Adds a coefficient set read from a comma-separated file (Value,ClassName,High,Medium,Low) to "
              "Halvo's coefficient store under a new, unique name.");
}

QgsProcessingAlgorithm::Flags ImportCoefficientsAlgorithm::flags() const
{
    // The store is one file: imports take turns.
    return QgsProcessingAlgorithm::flags() | FlagNoThreading;
}

void ImportCoefficientsAlgorithm::initAlgorithm(const QVariantMap&)
{
    addParameter(new QgsProcessingParameterFile(kInput, tr("Coefficient file (CSV)"), QgsProcessingParameterFile::File,
                                                QStringLiteral("csv")));
    addParameter(new QgsProcessingParameterString(kName, tr("New coefficient set name")));
    addOutput(new QgsProcessingOutputString(kName, tr("Coefficient set")));
}

QVariantMap ImportCoefficientsAlgorithm::processAlgorithm(const QVariantMap& parameters, QgsProcessingContext& context,
                                                          QgsProcessingFeedback* feedback)
{
    const QString file = parameterAsFile(parameters, kInput, context);
    const std::string name = Ss(parameterAsString(parameters, kName, context).trimmed());
    FeedbackUi ui(feedback, false);
    support::UiScope scope(ui);
    const fs::path ext = support::ExtensionFolder();
    coefficients::CoeffStore store = LoadStore(ext);
    if (coefficients::FindSet(store, name))
        throw QgsProcessingException(tr("There is already a coefficient set named '%1'.").arg(Qs(name)));
    bool asked = false;
    const std::string added = coefficients::ImportCoeffsFromFile(
        store, Ss(file), ext, [&](std::string_view, std::string_view, std::string_view) {
            const bool first = !asked;
            asked = true;
            return first ? name : std::string();
        });
    if (added.empty())
        throw QgsProcessingException(tr("The coefficient file '%1' was not imported.").arg(file));
    feedback->pushInfo(tr("Coefficient set '%1' added to '%2'.").arg(Qs(added), Qp(support::StorePath(ext))));
    return {{kName, Qs(added)}};
}

QString ExportCoefficientsAlgorithm::displayName() const { return tr("Export coefficient set"); }
QString ExportCoefficientsAlgorithm::group() const { return tr("Coefficients"); }
QString ExportCoefficientsAlgorithm::shortHelpString() const
{
    return tr("Writes a coefficient set of Halvo's store to a comma-separated file "
              "(Value,ClassName,High,Medium,Low).");
}

void ExportCoefficientsAlgorithm::initAlgorithm(const QVariantMap&)
{
    addParameter(new SetParameter(kSet, tr("Coefficient set"), StoredSetNames(), false));
    addParameter(new QgsProcessingParameterFileDestination(kOutput, tr("Coefficient file"), tr("CSV files (*.csv)")));
}

QVariantMap ExportCoefficientsAlgorithm::processAlgorithm(const QVariantMap& parameters, QgsProcessingContext& context,
                                                          QgsProcessingFeedback* feedback)
{
    FeedbackUi ui(feedback, false);
    support::UiScope scope(ui);
    const fs::path ext = support::ExtensionFolder();
    coefficients::CoeffStore store = LoadStore(ext);
    QStringList names;
    for (const auto& s : store.ISLCDefs)
        names << Qs(s.LCType);
    const std::string name = SetNamed(parameterAsString(parameters, kSet, context), names);
    if (!coefficients::FindSet(store, name))
        throw QgsProcessingException(tr("The coefficient store has no set named '%1' (sets: %2).")
                                         .arg(Qs(name), names.join(QStringLiteral(", "))));
    const QString file = parameterAsFileOutput(parameters, kOutput, context);
    if (!coefficients::ExportCoeffsToFile(store, Ss(file), name))
        throw QgsProcessingException(tr("The coefficient file '%1' could not be written.").arg(file));
    return {{kOutput, file}};
}

}  // namespace halvo::plugin
