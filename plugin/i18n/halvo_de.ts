<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ExportCoefficientsAlgorithm</name>
    <message>
        <source>Export coefficient set</source>
        <translation>Koeffizientensatz exportieren</translation>
    </message>
    <message>
        <source>Coefficients</source>
        <translation>Koeffizienten</translation>
    </message>
    <message>
        <source>Writes a coefficient set of Halvo&apos;s store to a comma-separated file (Value,ClassName,High,Medium,Low).</source>
        <translation>Schreibt einen Koeffizientensatz aus Halvos Speicher in eine kommagetrennte Datei (Value,ClassName,High,Medium,Low).</translation>
    </message>
    <message>
        <source>Coefficient set</source>
        <translation>Koeffizientensatz</translation>
    </message>
    <message>
        <source>Coefficient file</source>
        <translation>Koeffizientendatei</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>The coefficient store has no set number %1.</source>
        <translation>Der Koeffizientenspeicher hat keinen Satz Nummer %1.</translation>
    </message>
    <message>
        <source>The coefficient file &apos;%1&apos; could not be written.</source>
        <translation>Die Koeffizientendatei „%1“ konnte nicht geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>ImperviousByZoneAlgorithm</name>
    <message>
        <source>Impervious surface by zone</source>
        <translation>Versiegelte Fläche je Zone</translation>
    </message>
    <message>
        <source>Analysis</source>
        <translation>Analyse</translation>
    </message>
    <message>
        <source>Estimates the impervious surface of each zone: the land-cover raster is tabulated inside the polygons of the zone layer, grouped by the values of the zone field, and the coefficient set turns each class&apos;s area into impervious area. The output is a shapefile (or GeoPackage) with the zone areas, impervious areas and pctIS, a QGIS style, and the parameter (.prm) and metadata (.met) reports beside it.

Development scenarios: each layer&apos;s polygons are recast to the class given for it in the class list (class IDs or names, comma-separated, one for each layer in order).</source>
        <translation>Schätzt die versiegelte Fläche jeder Zone: das Landbedeckungsraster wird innerhalb der Polygone des Zonenlayers ausgezählt, gruppiert nach den Werten des Zonenfelds, und der Koeffizientensatz macht aus der Fläche jeder Klasse versiegelte Fläche. Die Ausgabe ist ein Shapefile (oder GeoPackage) mit den Zonenflächen, den versiegelten Flächen und pctIS, einem QGIS-Stil und daneben dem Parameter- (.prm) und dem Metadatenbericht (.met).

Entwicklungsszenarien: die Polygone jedes Layers werden in die für ihn in der Klassenliste angegebene Klasse umgewandelt (Klassen-IDs oder -namen, durch Kommas getrennt, eine je Layer in der Reihenfolge).</translation>
    </message>
    <message>
        <source>Land cover grid</source>
        <translation>Landbedeckungsraster</translation>
    </message>
    <message>
        <source>Land cover grid units</source>
        <translation>Einheiten des Landbedeckungsrasters</translation>
    </message>
    <message>
        <source>From the raster&apos;s coordinate system</source>
        <translation>Aus dem Koordinatensystem des Rasters</translation>
    </message>
    <message>
        <source>Analysis layer</source>
        <translation>Analyselayer</translation>
    </message>
    <message>
        <source>Analysis field</source>
        <translation>Analysefeld</translation>
    </message>
    <message>
        <source>Coefficient set</source>
        <translation>Koeffizientensatz</translation>
    </message>
    <message>
        <source>Coefficient file instead of a stored set (CSV)</source>
        <translation>Koeffizientendatei statt eines gespeicherten Satzes (CSV)</translation>
    </message>
    <message>
        <source>Which coefficient?</source>
        <translation>Welcher Koeffizient?</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Niedrig</translation>
    </message>
    <message>
        <source>Calculate from a density layer</source>
        <translation>Aus einem Dichtelayer berechnen</translation>
    </message>
    <message>
        <source>Population density layer</source>
        <translation>Bevölkerungsdichtelayer</translation>
    </message>
    <message>
        <source>Density field</source>
        <translation>Dichtefeld</translation>
    </message>
    <message>
        <source>High density at or above</source>
        <translation>Hohe Dichte ab</translation>
    </message>
    <message>
        <source>Low density at or below</source>
        <translation>Niedrige Dichte bis</translation>
    </message>
    <message>
        <source>Land cover change scenario layers</source>
        <translation>Layer der Landbedeckungsszenarien</translation>
    </message>
    <message>
        <source>Scenario classes (class ID or name for each scenario layer, comma-separated)</source>
        <translation>Szenarioklassen (Klassen-ID oder -name je Szenariolayer, kommagetrennt)</translation>
    </message>
    <message>
        <source>Layer name</source>
        <translation>Layername</translation>
    </message>
    <message>
        <source>Answer OK/Yes to the run&apos;s questions</source>
        <translation>Fragen des Laufs mit OK/Ja beantworten</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Parameter report</source>
        <translation>Parameterbericht</translation>
    </message>
    <message>
        <source>Metadata report</source>
        <translation>Metadatenbericht</translation>
    </message>
    <message>
        <source>The layer given for %1 cannot be read.</source>
        <translation>Der für %1 angegebene Layer ist nicht lesbar.</translation>
    </message>
    <message>
        <source>The layer given for %1 cannot be written for the run.</source>
        <translation>Der für %1 angegebene Layer kann für den Lauf nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>No land cover grid was given.</source>
        <translation>Es wurde kein Landbedeckungsraster angegeben.</translation>
    </message>
    <message>
        <source>No analysis field was given.</source>
        <translation>Es wurde kein Analysefeld angegeben.</translation>
    </message>
    <message>
        <source>The coefficient store &apos;%1&apos; cannot be read.</source>
        <translation>Der Koeffizientenspeicher „%1“ ist nicht lesbar.</translation>
    </message>
    <message>
        <source>Give one scenario class for each scenario layer: %1 layers, %2 classes.</source>
        <translation>Geben Sie je Szenariolayer eine Klasse an: %1 Layer, %2 Klassen.</translation>
    </message>
    <message>
        <source>No output was given.</source>
        <translation>Es wurde keine Ausgabe angegeben.</translation>
    </message>
    <message>
        <source>Skipped: %1</source>
        <translation>Übersprungen: %1</translation>
    </message>
    <message>
        <source>Output: %1</source>
        <translation>Ausgabe: %1</translation>
    </message>
    <message>
        <source>Cell coverage</source>
        <translation>Zellabdeckung</translation>
    </message>
    <message>
        <source>Cell centre: a cell counts wholly for the zone holding its centre</source>
        <translation>Zellmitte: eine Zelle zählt ganz für die Zone, die ihre Mitte enthält</translation>
    </message>
    <message>
        <source>Exact: each cell counts by the share of its area inside the zone</source>
        <translation>Genau: jede Zelle zählt mit dem Anteil ihrer Fläche in der Zone</translation>
    </message>
    <message>
        <source>Write an HTML page</source>
        <translation>Eine HTML-Seite schreiben</translation>
    </message>
    <message>
        <source>Save parameters to</source>
        <translation>Parameter speichern in</translation>
    </message>
    <message>
        <source>Halvo parameter files (*.txt)</source>
        <translation>Halvo-Parameterdateien (*.txt)</translation>
    </message>
    <message>
        <source>HTML page</source>
        <translation>HTML-Seite</translation>
    </message>
    <message>
        <source>A population density layer was given with one coefficient for all land: choose &quot;Calculate from a density layer&quot;, or leave the layer out.</source>
        <translation>Ein Bevölkerungsdichte-Layer wurde mit einem Koeffizienten für alle Flächen angegeben: wählen Sie „Aus einem Dichtelayer berechnen“ oder lassen Sie den Layer weg.</translation>
    </message>
    <message>
        <source>The output names the layer &apos;%1&apos; and the layer name given is &apos;%2&apos;: leave the layer name empty or give the same one.</source>
        <translation>Die Ausgabe nennt den Layer „%1“, der angegebene Layername ist „%2“: lassen Sie den Layernamen leer oder geben Sie denselben an.</translation>
    </message>
    <message>
        <source>The output &apos;%1&apos; is neither a shapefile (.shp) nor a GeoPackage (.gpkg): give one of them.</source>
        <translation>Die Ausgabe „%1“ ist weder ein Shapefile (.shp) noch ein GeoPackage (.gpkg): geben Sie eines davon an.</translation>
    </message>
</context>
<context>
    <name>ImportCoefficientsAlgorithm</name>
    <message>
        <source>Import coefficient set</source>
        <translation>Koeffizientensatz importieren</translation>
    </message>
    <message>
        <source>Coefficients</source>
        <translation>Koeffizienten</translation>
    </message>
    <message>
        <source>Adds a coefficient set read from a comma-separated file (Value,ClassName,High,Medium,Low) to Halvo&apos;s coefficient store under a new, unique name.</source>
        <translation>Fügt Halvos Koeffizientenspeicher unter einem neuen, eindeutigen Namen einen Satz aus einer kommagetrennten Datei (Value,ClassName,High,Medium,Low) hinzu.</translation>
    </message>
    <message>
        <source>Coefficient file (CSV)</source>
        <translation>Koeffizientendatei (CSV)</translation>
    </message>
    <message>
        <source>New coefficient set name</source>
        <translation>Name des neuen Koeffizientensatzes</translation>
    </message>
    <message>
        <source>Coefficient set</source>
        <translation>Koeffizientensatz</translation>
    </message>
    <message>
        <source>There is already a coefficient set named &apos;%1&apos;.</source>
        <translation>Es gibt bereits einen Koeffizientensatz namens „%1“.</translation>
    </message>
    <message>
        <source>The coefficient file &apos;%1&apos; was not imported.</source>
        <translation>Die Koeffizientendatei „%1“ wurde nicht importiert.</translation>
    </message>
    <message>
        <source>Coefficient set &apos;%1&apos; added to &apos;%2&apos;.</source>
        <translation>Koeffizientensatz „%1“ zu „%2“ hinzugefügt.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>(answered %1: &quot;Answer OK/Yes to the run&apos;s questions&quot; is on)</source>
        <translation>(beantwortet mit %1: „Fragen des Laufs mit OK/Ja beantworten“ ist an)</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>(answered %1; &quot;Answer OK/Yes to the run&apos;s questions&quot; answers %2)</source>
        <translation>(beantwortet mit %1; „Fragen des Laufs mit OK/Ja beantworten“ antwortet %2)</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>The run was canceled; no output was written.</source>
        <translation>Der Lauf wurde abgebrochen; es wurde keine Ausgabe geschrieben.</translation>
    </message>
    <message>
        <source>The run did not complete (%1); no output was written.</source>
        <translation>Der Lauf wurde nicht abgeschlossen (%1); es wurde keine Ausgabe geschrieben.</translation>
    </message>
</context>
<context>
    <name>halvo::Messages</name>
    <message>
        <source>No Analysis theme selected, please select from dropdown list.</source>
        <translation>Kein Analyselayer gewählt; bitte aus der Liste wählen.</translation>
    </message>
    <message>
        <source>No Land Cover theme selected, please select from dropdown list.</source>
        <translation>Kein Landbedeckungslayer gewählt; bitte aus der Liste wählen.</translation>
    </message>
    <message>
        <source>Land Cover units not defined, please select from dropdown list.</source>
        <translation>Landbedeckungseinheiten nicht festgelegt; bitte aus der Liste wählen.</translation>
    </message>
    <message>
        <source>Land Cover Type not defined, please select from dropdown list.</source>
        <translation>Koeffizientensatz nicht festgelegt; bitte aus der Liste wählen.</translation>
    </message>
    <message>
        <source>Analysis unit not defined, please select from dropdown list.</source>
        <translation>Analysefeld nicht festgelegt; bitte aus der Liste wählen.</translation>
    </message>
    <message>
        <source>Population Density option not defined, please select option.</source>
        <translation>Option der Bevölkerungsdichte nicht festgelegt; bitte eine Option wählen.</translation>
    </message>
    <message>
        <source>Output Theme not defined, please enter a name.</source>
        <translation>Ausgabelayer nicht festgelegt; bitte einen Namen eingeben.</translation>
    </message>
    <message>
        <source>No theme selected, please select from dropdown list.</source>
        <translation>Kein Layer gewählt; bitte aus der Liste wählen.</translation>
    </message>
    <message>
        <source>No class selected, please select from dropdown list.</source>
        <translation>Keine Klasse gewählt; bitte aus der Liste wählen.</translation>
    </message>
    <message>
        <source>Please specify an output name.</source>
        <translation>Bitte einen Ausgabenamen angeben.</translation>
    </message>
    <message>
        <source>Please enter a shapefile name.</source>
        <translation>Bitte einen Shapefile-Namen eingeben.</translation>
    </message>
    <message>
        <source>Invalid scenario number</source>
        <translation>Ungültige Szenarionummer</translation>
    </message>
    <message>
        <source>The run was canceled; no output was written.</source>
        <translation>Der Lauf wurde abgebrochen; es wurde keine Ausgabe geschrieben.</translation>
    </message>
    <message>
        <source>No Land Cover Type defined, please select from the dropdown list before adding Development Scenarios</source>
        <translation>Kein Koeffizientensatz festgelegt; bitte vor dem Hinzufügen von Entwicklungsszenarien einen aus der Liste wählen</translation>
    </message>
    <message>
        <source>Some of the (selected) polygons in the Analysis Layer <byte value="xd"/>overlapped NODATA cells in the Land Cover Layer.  The <byte value="xd"/>area calculations for these polygons excludes the area <byte value="xd"/>of the NODATA cells.  These polygons may be identified <byte value="xd"/>by a &apos;N&apos; in the &apos;Complete&apos; field of the newly created <byte value="xd"/>Impervious Surface theme.</source>
        <translation>Einige (ausgewählte) Polygone des Analyselayers
überdecken NODATA-Zellen des Landbedeckungslayers.
Die Flächen dieser Polygone schließen die NODATA-Zellen aus.
Diese Polygone tragen ein „N“ im Feld „Complete“
des neu erstellten Layers der versiegelten Fläche.</translation>
    </message>
    <message>
        <source>NODATA Cells!</source>
        <translation>NODATA-Zellen!</translation>
    </message>
    <message>
        <source>Shapefile Name</source>
        <translation>Shapefile-Name</translation>
    </message>
    <message>
        <source>Shapefile Name?</source>
        <translation>Shapefile-Name?</translation>
    </message>
    <message>
        <source>Delete Scenario</source>
        <translation>Szenario löschen</translation>
    </message>
    <message>
        <source>Output Location</source>
        <translation>Ausgabeort</translation>
    </message>
    <message>
        <source>Land Cover Units</source>
        <translation>Landbedeckungseinheiten</translation>
    </message>
    <message>
        <source>The folder %1 does not exist. Create it?</source>
        <translation>Der Ordner %1 existiert nicht. Anlegen?</translation>
    </message>
    <message>
        <source>The folder %1 could not be created (%2). Please choose another location for the output shapefile.</source>
        <translation>Der Ordner %1 konnte nicht angelegt werden (%2). Bitte wählen Sie einen anderen Ort für das Ausgabe-Shapefile.</translation>
    </message>
    <message>
        <source>No Population Density theme selected, please select from dropdown list.</source>
        <translation>Kein Bevölkerungsdichte-Layer gewählt; bitte aus der Liste wählen.</translation>
    </message>
    <message>
        <source>No Populaiton Density field selected, please select from dropdown list.</source>
        <translation>Kein Bevölkerungsdichtefeld gewählt; bitte aus der Liste wählen.</translation>
    </message>
    <message>
        <source>Numeric value must be entered in field.</source>
        <translation>Bitte einen Zahlenwert eingeben.</translation>
    </message>
    <message>
        <source>Population density &quot;Low&quot; value must be less than the &quot;High&quot; value.</source>
        <translation>Der Bevölkerungsdichtewert „Niedrig“ muss kleiner als der Wert „Hoch“ sein.</translation>
    </message>
    <message>
        <source>Invalid value entered - Class Value must be an integer.</source>
        <translation>Ungültiger Wert: der Klassenwert muss eine ganze Zahl sein.</translation>
    </message>
    <message>
        <source>Invalid value entered - Coefficients must be numeric.</source>
        <translation>Ungültiger Wert: Koeffizienten müssen Zahlen sein.</translation>
    </message>
    <message>
        <source>Invalid value entered - Coefficients must be between 0-100.</source>
        <translation>Ungültiger Wert: Koeffizienten müssen zwischen 0 und 100 liegen.</translation>
    </message>
    <message>
        <source>Coefficient Import Unsuccessful</source>
        <translation>Koeffizientenimport fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>halvo::coefficients::AddSetDialog</name>
    <message>
        <source>Add Coefficient Set</source>
        <translation>Koeffizientensatz hinzufügen</translation>
    </message>
    <message>
        <source>Coefficient Set</source>
        <translation>Koeffizientensatz</translation>
    </message>
    <message>
        <source>Model after existing Coefficient Set</source>
        <translation>Nach vorhandenem Koeffizientensatz</translation>
    </message>
    <message>
        <source>Model After</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>halvo::coefficients::CoefficientEditor</name>
    <message>
        <source>Change Coefficients</source>
        <translation>Koeffizienten ändern</translation>
    </message>
    <message>
        <source>Coefficient Set</source>
        <translation>Koeffizientensatz</translation>
    </message>
    <message>
        <source>Class</source>
        <translation>Klasse</translation>
    </message>
    <message>
        <source>Coefficients</source>
        <translation>Koeffizienten</translation>
    </message>
    <message>
        <source>New...</source>
        <translation>Neu...</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Übernehmen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Transfer</source>
        <translation>Übertragen</translation>
    </message>
    <message>
        <source>Import...</source>
        <translation>Importieren...</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>Exportieren...</translation>
    </message>
    <message>
        <source>Merge...</source>
        <translation>Zusammenführen...</translation>
    </message>
    <message>
        <source>Row Popup</source>
        <translation>Zeilenmenü</translation>
    </message>
    <message>
        <source>Add a Row</source>
        <translation>Zeile anfügen</translation>
    </message>
    <message>
        <source>Insert a Row</source>
        <translation>Zeile einfügen</translation>
    </message>
    <message>
        <source>Delete a Row</source>
        <translation>Zeile löschen</translation>
    </message>
    <message>
        <source>Impervious Surface Coefficient File to Import</source>
        <translation>Zu importierende Koeffizientendatei</translation>
    </message>
    <message>
        <source>Export Impervious Surface Coefficients into Filename</source>
        <translation>Koeffizienten in Datei exportieren</translation>
    </message>
    <message>
        <source>Halvo Coefficient File to Merge</source>
        <translation>Zusammenzuführende Halvo-Koeffizientendatei</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Niedrig</translation>
    </message>
</context>
<context>
    <name>halvo::params::AnalysisDialog</name>
    <message>
        <source>Coefficients</source>
        <translation>Koeffizienten</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Niedrig</translation>
    </message>
    <message>
        <source>Calculate</source>
        <translation>Berechnen</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Ausführen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Land Cover Grid</source>
        <translation>Landbedeckungsraster</translation>
    </message>
    <message>
        <source>Land Cover Grid Units</source>
        <translation>Rastereinheiten</translation>
    </message>
    <message>
        <source>Analysis Layer</source>
        <translation>Analyselayer</translation>
    </message>
    <message>
        <source>Analysis Field</source>
        <translation>Analysefeld</translation>
    </message>
    <message>
        <source>Coefficient Set</source>
        <translation>Koeffizientensatz</translation>
    </message>
    <message>
        <source>Which Coefficient?</source>
        <translation>Welcher Koeffizient?</translation>
    </message>
    <message>
        <source>Output Shapefile</source>
        <translation>Ausgabe-Shapefile</translation>
    </message>
    <message>
        <source>Layer Name</source>
        <translation>Layername</translation>
    </message>
    <message>
        <source>Select Output Shapefile</source>
        <translation>Ausgabe-Shapefile wählen</translation>
    </message>
    <message>
        <source>Shapefile (*.shp)</source>
        <translation>Shapefile (*.shp)</translation>
    </message>
    <message>
        <source>Land Cover Change Scenarios</source>
        <translation>Szenarien der Landbedeckungsänderung</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Übernehmen</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Delete...</source>
        <translation>Löschen...</translation>
    </message>
    <message>
        <source>Change land cover classes within</source>
        <translation>Landbedeckungsklassen ändern innerhalb von</translation>
    </message>
    <message>
        <source>layer to</source>
        <translation>in</translation>
    </message>
    <message>
        <source>Enter number of scenario to delete:</source>
        <translation>Nummer des zu löschenden Szenarios:</translation>
    </message>
    <message>
        <source>Delete Scenario</source>
        <translation>Szenario löschen</translation>
    </message>
    <message>
        <source>Write an HTML page</source>
        <translation>Eine HTML-Seite schreiben</translation>
    </message>
    <message>
        <source>Save parameters...</source>
        <translation>Parameter speichern...</translation>
    </message>
    <message>
        <source>Save Parameters</source>
        <translation>Parameter speichern</translation>
    </message>
    <message>
        <source>Halvo parameter files (*.txt)</source>
        <translation>Halvo-Parameterdateien (*.txt)</translation>
    </message>
    <message>
        <source>Meters</source>
        <translation>Meter</translation>
    </message>
    <message>
        <source>Feet</source>
        <translation>Fuß</translation>
    </message>
    <message>
        <source>Density from %1 (%2): High &gt;= %3, Low &lt;= %4</source>
        <translation>Dichte aus %1 (%2): Hoch &gt;= %3, Niedrig &lt;= %4</translation>
    </message>
</context>
<context>
    <name>halvo::params::DensityDialog</name>
    <message>
        <source>Population Density Calculation</source>
        <translation>Berechnung der Bevölkerungsdichte</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Pop. Density Layer</source>
        <translation>Dichtelayer</translation>
    </message>
    <message>
        <source>Definition Field</source>
        <translation>Definitionsfeld</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Niedrig</translation>
    </message>
    <message>
        <source>between</source>
        <translation>zwischen</translation>
    </message>
    <message>
        <source>AND</source>
        <translation>UND</translation>
    </message>
</context>
<context>
    <name>halvo::plugin::Command</name>
    <message>
        <source>Run Impervious Surface Analysis...</source>
        <translation>Analyse der versiegelten Fläche ausführen...</translation>
    </message>
    <message>
        <source>View Halvo Parameters for a Layer...</source>
        <translation>Halvo-Parameter eines Layers anzeigen...</translation>
    </message>
    <message>
        <source>View Halvo Metadata for a Layer...</source>
        <translation>Halvo-Metadaten eines Layers anzeigen...</translation>
    </message>
    <message>
        <source>Change Coefficients...</source>
        <translation>Koeffizienten ändern...</translation>
    </message>
    <message>
        <source>Help...</source>
        <translation>Hilfe...</translation>
    </message>
    <message>
        <source>About Halvo...</source>
        <translation>Über Halvo...</translation>
    </message>
</context>
<context>
    <name>halvo::plugin::Extension</name>
    <message>
        <source>%1 written to %2</source>
        <translation>%1 geschrieben nach %2</translation>
    </message>
    <message>
        <source>Halvo</source>
        <translation>Halvo</translation>
    </message>
    <message>
        <source>Parameter Report</source>
        <translation>Parameterbericht</translation>
    </message>
    <message>
        <source>Open HTML Page</source>
        <translation>HTML-Seite öffnen</translation>
    </message>
</context>
<context>
    <name>halvo::plugin::MenuDef</name>
    <message>
        <source>Impervious Surface Tools</source>
        <translation>Werkzeuge für versiegelte Flächen</translation>
    </message>
</context>
<context>
    <name>halvo::plugin::Toolbar</name>
    <message>
        <source>Halvo Tools</source>
        <translation>Halvo-Werkzeuge</translation>
    </message>
</context>
<context>
    <name>halvo::reports::ReportViewer</name>
    <message>
        <source>Select a Layer:</source>
        <translation>Layer wählen:</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>halvo::support::AboutDialog</name>
    <message>
        <source>The Halvo uses a land cover grid to estimate the impervious surface area for polygon features within a shapefile based on coefficients of imperviousness for each land cover type.</source>
        <translation>Halvo schätzt mit einem Landbedeckungsraster die versiegelte Fläche der Polygone eines Shapefiles anhand von Versiegelungskoeffizienten je Landbedeckungstyp.</translation>
    </message>
    <message>
        <source>Halvo is free software under the GNU General Public License, version 2 or later, written and maintained by the Halvo developers. The coefficients it ships are estimates from published land-cover studies; check them against local conditions before relying on the results.</source>
        <translation>Halvo ist freie Software unter der GNU General Public License, Version 2 oder später, geschrieben und gepflegt von den Halvo-Entwicklern. Die mitgelieferten Koeffizienten sind Schätzungen aus veröffentlichten Landbedeckungsstudien; prüfen Sie sie an den örtlichen Verhältnissen, bevor Sie sich auf die Ergebnisse verlassen.</translation>
    </message>
    <message>
        <source>Contact: the Halvo project&apos;s issue tracker.</source>
        <translation>Kontakt: der Issue-Tracker des Halvo-Projekts.</translation>
    </message>
    <message>
        <source>About Halvo</source>
        <translation>Über Halvo</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Extension folder: </source>
        <translation>Erweiterungsordner: </translation>
    </message>
</context>
<context>
    <name>halvo::support::CallStackWindow</name>
    <message>
        <source>Halvo Error Report</source>
        <translation>Halvo-Fehlerbericht</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>halvo::support::HelpBrowser</name>
    <message>
        <source>Halvo Help</source>
        <translation>Halvo-Hilfe</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>halvo::support::ProcessingNotice</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Canceling...</source>
        <translation>Wird abgebrochen...</translation>
    </message>
    <message>
        <source>Performing Impervious Surface Analysis.  Please wait...</source>
        <translation>Analyse der versiegelten Fläche läuft. Bitte warten...</translation>
    </message>
</context>
</TS>
