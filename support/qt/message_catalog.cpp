// The engine's and the dialogs' messages as translators see them: the engine
// speaks English (std::string); the desktop looks each whole text up under
// the context "halvo::Messages" before showing it. lupdate reads this list.

#include <QtGlobal>

namespace halvo::support {

[[maybe_unused]] static const char* const kMessages[] = {
    // Checks of the analysis dialog.
    QT_TRANSLATE_NOOP("halvo::Messages", "No Analysis theme selected, please select from dropdown list."),
    QT_TRANSLATE_NOOP("halvo::Messages", "No Land Cover theme selected, please select from dropdown list."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Land Cover units not defined, please select from dropdown list."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Land Cover Type not defined, please select from dropdown list."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Analysis unit not defined, please select from dropdown list."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Population Density option not defined, please select option."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Output Theme not defined, please enter a name."),
    QT_TRANSLATE_NOOP("halvo::Messages", "No theme selected, please select from dropdown list."),
    QT_TRANSLATE_NOOP("halvo::Messages", "No class selected, please select from dropdown list."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Please specify an output name."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Please enter a shapefile name."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Invalid scenario number"),
    QT_TRANSLATE_NOOP("halvo::Messages", "The run was canceled; no output was written."),
    QT_TRANSLATE_NOOP("halvo::Messages",
                      "No Land Cover Type defined, please select from the dropdown list before adding Development "
                      "Scenarios"),
    // Checks of the density dialog (the typo is the message's own).
    QT_TRANSLATE_NOOP("halvo::Messages", "No Population Density theme selected, please select from dropdown list."),
    QT_TRANSLATE_NOOP("halvo::Messages", "No Populaiton Density field selected, please select from dropdown list."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Numeric value must be entered in field."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Population density \"Low\" value must be less than the \"High\" value."),
    // Cell checks of the coefficient editor.
    QT_TRANSLATE_NOOP("halvo::Messages", "Invalid value entered - Class Value must be an integer."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Invalid value entered - Coefficients must be numeric."),
    QT_TRANSLATE_NOOP("halvo::Messages", "Invalid value entered - Coefficients must be between 0-100."),
    // The run's NODATA notice.
    QT_TRANSLATE_NOOP("halvo::Messages", "Some of the (selected) polygons in the Analysis Layer \r"
                                         "overlapped NODATA cells in the Land Cover Layer.  The \r"
                                         "area calculations for these polygons excludes the area \r"
                                         "of the NODATA cells.  These polygons may be identified \r"
                                         "by a 'N' in the 'Complete' field of the newly created \r"
                                         "Impervious Surface theme."),
    // Titles.
    QT_TRANSLATE_NOOP("halvo::Messages", "NODATA Cells!"),
    QT_TRANSLATE_NOOP("halvo::Messages", "Shapefile Name"),
    QT_TRANSLATE_NOOP("halvo::Messages", "Shapefile Name?"),
    QT_TRANSLATE_NOOP("halvo::Messages", "Delete Scenario"),
    QT_TRANSLATE_NOOP("halvo::Messages", "Output Location"),
    QT_TRANSLATE_NOOP("halvo::Messages", "Land Cover Units"),
    QT_TRANSLATE_NOOP("halvo::Messages", "Coefficient Import Unsuccessful"),
};

}  // namespace halvo::support
