<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>ExportCoefficientsAlgorithm</name>
    <message>
        <source>Export coefficient set</source>
        <translation>Exporter un jeu de coefficients</translation>
    </message>
    <message>
        <source>Coefficients</source>
        <translation>Coefficients</translation>
    </message>
    <message>
        <source>Writes a coefficient set of Halvo&apos;s store to a comma-separated file (Value,ClassName,High,Medium,Low).</source>
        <translation>Écrit un jeu de coefficients du magasin de Halvo dans un fichier séparé par des virgules (Value,ClassName,High,Medium,Low).</translation>
    </message>
    <message>
        <source>Coefficient set</source>
        <translation>Jeu de coefficients</translation>
    </message>
    <message>
        <source>Coefficient file</source>
        <translation>Fichier de coefficients</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Fichiers CSV (*.csv)</translation>
    </message>
    <message>
        <source>The coefficient store has no set number %1.</source>
        <translation>Le magasin de coefficients n&apos;a pas de jeu numéro %1.</translation>
    </message>
    <message>
        <source>The coefficient file &apos;%1&apos; could not be written.</source>
        <translation>Le fichier de coefficients « %1 » n&apos;a pas pu être écrit.</translation>
    </message>
</context>
<context>
    <name>ImperviousByZoneAlgorithm</name>
    <message>
        <source>Impervious surface by zone</source>
        <translation>Surface imperméable par zone</translation>
    </message>
    <message>
        <source>Analysis</source>
        <translation>Analyse</translation>
    </message>
    <message>
        <source>Estimates the impervious surface of each zone: the land-cover raster is tabulated inside the polygons of the zone layer, grouped by the values of the zone field, and the coefficient set turns each class&apos;s area into impervious area. The output is a shapefile (or GeoPackage) with the zone areas, impervious areas and pctIS, a QGIS style, and the parameter (.prm) and metadata (.met) reports beside it.

Development scenarios: each layer&apos;s polygons are recast to the class given for it in the class list (class IDs or names, comma-separated, one for each layer in order).</source>
        <translation>Estime la surface imperméable de chaque zone : le raster d&apos;occupation du sol est tabulé à l&apos;intérieur des polygones de la couche de zones, regroupés selon les valeurs du champ de zone, et le jeu de coefficients convertit la surface de chaque classe en surface imperméable. La sortie est un shapefile (ou un GeoPackage) avec les surfaces des zones, les surfaces imperméables et pctIS, un style QGIS, et les rapports des paramètres (.prm) et des métadonnées (.met) à côté.

Scénarios d&apos;aménagement : les polygones de chaque couche sont convertis dans la classe donnée pour elle dans la liste des classes (identifiants ou noms de classe, séparés par des virgules, un par couche dans l&apos;ordre).</translation>
    </message>
    <message>
        <source>Land cover grid</source>
        <translation>Grille d&apos;occupation du sol</translation>
    </message>
    <message>
        <source>Land cover grid units</source>
        <translation>Unités de la grille d&apos;occupation du sol</translation>
    </message>
    <message>
        <source>From the raster&apos;s coordinate system</source>
        <translation>Selon le système de coordonnées du raster</translation>
    </message>
    <message>
        <source>Analysis layer</source>
        <translation>Couche d&apos;analyse</translation>
    </message>
    <message>
        <source>Analysis field</source>
        <translation>Champ d&apos;analyse</translation>
    </message>
    <message>
        <source>Coefficient set</source>
        <translation>Jeu de coefficients</translation>
    </message>
    <message>
        <source>Coefficient file instead of a stored set (CSV)</source>
        <translation>Fichier de coefficients au lieu d’un jeu enregistré (CSV)</translation>
    </message>
    <message>
        <source>Which coefficient?</source>
        <translation>Quel coefficient ?</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Élevé</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Moyen</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Faible</translation>
    </message>
    <message>
        <source>Calculate from a density layer</source>
        <translation>Calculer à partir d&apos;une couche de densité</translation>
    </message>
    <message>
        <source>Population density layer</source>
        <translation>Couche de densité de population</translation>
    </message>
    <message>
        <source>Density field</source>
        <translation>Champ de densité</translation>
    </message>
    <message>
        <source>High density at or above</source>
        <translation>Densité élevée à partir de</translation>
    </message>
    <message>
        <source>Low density at or below</source>
        <translation>Densité faible jusqu&apos;à</translation>
    </message>
    <message>
        <source>Land cover change scenario layers</source>
        <translation>Couches de scénarios de changement d&apos;occupation du sol</translation>
    </message>
    <message>
        <source>Scenario classes (class ID or name for each scenario layer, comma-separated)</source>
        <translation>Classes des scénarios (identifiant ou nom de classe pour chaque couche, séparés par des virgules)</translation>
    </message>
    <message>
        <source>Layer name</source>
        <translation>Nom de la couche</translation>
    </message>
    <message>
        <source>Answer OK/Yes to the run&apos;s questions</source>
        <translation>Répondre OK/Oui aux questions de l&apos;exécution</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Sortie</translation>
    </message>
    <message>
        <source>Parameter report</source>
        <translation>Rapport des paramètres</translation>
    </message>
    <message>
        <source>Metadata report</source>
        <translation>Rapport des métadonnées</translation>
    </message>
    <message>
        <source>The layer given for %1 cannot be read.</source>
        <translation>La couche donnée pour %1 est illisible.</translation>
    </message>
    <message>
        <source>The layer given for %1 cannot be written for the run.</source>
        <translation>La couche donnée pour %1 ne peut pas être écrite pour l&apos;exécution.</translation>
    </message>
    <message>
        <source>No land cover grid was given.</source>
        <translation>Aucune grille d&apos;occupation du sol n&apos;a été donnée.</translation>
    </message>
    <message>
        <source>No analysis field was given.</source>
        <translation>Aucun champ d&apos;analyse n&apos;a été donné.</translation>
    </message>
    <message>
        <source>The coefficient store &apos;%1&apos; cannot be read.</source>
        <translation>Le magasin de coefficients « %1 » est illisible.</translation>
    </message>
    <message>
        <source>Give one scenario class for each scenario layer: %1 layers, %2 classes.</source>
        <translation>Donnez une classe pour chaque couche de scénario : %1 couches, %2 classes.</translation>
    </message>
    <message>
        <source>No output was given.</source>
        <translation>Aucune sortie n&apos;a été donnée.</translation>
    </message>
    <message>
        <source>Skipped: %1</source>
        <translation>Ignoré : %1</translation>
    </message>
    <message>
        <source>Output: %1</source>
        <translation>Sortie : %1</translation>
    </message>
    <message>
        <source>Cell coverage</source>
        <translation>Couverture des cellules</translation>
    </message>
    <message>
        <source>Cell centre: a cell counts wholly for the zone holding its centre</source>
        <translation>Centre de cellule : une cellule compte entièrement pour la zone qui contient son centre</translation>
    </message>
    <message>
        <source>Exact: each cell counts by the share of its area inside the zone</source>
        <translation>Exacte : chaque cellule compte pour la part de sa surface dans la zone</translation>
    </message>
    <message>
        <source>Write an HTML page</source>
        <translation>Écrire une page HTML</translation>
    </message>
    <message>
        <source>Save parameters to</source>
        <translation>Enregistrer les paramètres dans</translation>
    </message>
    <message>
        <source>Halvo parameter files (*.txt)</source>
        <translation>Fichiers de paramètres Halvo (*.txt)</translation>
    </message>
    <message>
        <source>HTML page</source>
        <translation>Page HTML</translation>
    </message>
    <message>
        <source>A population density layer was given with one coefficient for all land: choose &quot;Calculate from a density layer&quot;, or leave the layer out.</source>
        <translation>Une couche de densité de population a été donnée avec un seul coefficient pour tout le territoire : choisissez « Calculer à partir d&apos;une couche de densité », ou retirez la couche.</translation>
    </message>
    <message>
        <source>The output names the layer &apos;%1&apos; and the layer name given is &apos;%2&apos;: leave the layer name empty or give the same one.</source>
        <translation>La sortie nomme la couche « %1 » et le nom de couche donné est « %2 » : laissez le nom de couche vide ou donnez le même.</translation>
    </message>
    <message>
        <source>The output &apos;%1&apos; is neither a shapefile (.shp) nor a GeoPackage (.gpkg): give one of them.</source>
        <translation>La sortie « %1 » n&apos;est ni un shapefile (.shp) ni un GeoPackage (.gpkg) : donnez l&apos;un des deux.</translation>
    </message>
</context>
<context>
    <name>ImportCoefficientsAlgorithm</name>
    <message>
        <source>Import coefficient set</source>
        <translation>Importer un jeu de coefficients</translation>
    </message>
    <message>
        <source>Coefficients</source>
        <translation>Coefficients</translation>
    </message>
    <message>
        <source>Adds a coefficient set read from a comma-separated file (Value,ClassName,High,Medium,Low) to Halvo&apos;s coefficient store under a new, unique name.</source>
        <translation>Ajoute au magasin de coefficients de Halvo, sous un nouveau nom unique, un jeu lu dans un fichier séparé par des virgules (Value,ClassName,High,Medium,Low).</translation>
    </message>
    <message>
        <source>Coefficient file (CSV)</source>
        <translation>Fichier de coefficients (CSV)</translation>
    </message>
    <message>
        <source>New coefficient set name</source>
        <translation>Nom du nouveau jeu de coefficients</translation>
    </message>
    <message>
        <source>Coefficient set</source>
        <translation>Jeu de coefficients</translation>
    </message>
    <message>
        <source>There is already a coefficient set named &apos;%1&apos;.</source>
        <translation>Un jeu de coefficients nommé « %1 » existe déjà.</translation>
    </message>
    <message>
        <source>The coefficient file &apos;%1&apos; was not imported.</source>
        <translation>Le fichier de coefficients « %1 » n&apos;a pas été importé.</translation>
    </message>
    <message>
        <source>Coefficient set &apos;%1&apos; added to &apos;%2&apos;.</source>
        <translation>Jeu de coefficients « %1 » ajouté à « %2 ».</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>(answered %1: &quot;Answer OK/Yes to the run&apos;s questions&quot; is on)</source>
        <translation>(réponse %1 : « Répondre OK/Oui aux questions de l&apos;exécution » est activé)</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Oui</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>(answered %1; &quot;Answer OK/Yes to the run&apos;s questions&quot; answers %2)</source>
        <translation>(réponse %1 ; « Répondre OK/Oui aux questions de l&apos;exécution » répond %2)</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Non</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>The run was canceled; no output was written.</source>
        <translation>L&apos;exécution a été annulée ; aucune sortie n&apos;a été écrite.</translation>
    </message>
    <message>
        <source>The run did not complete (%1); no output was written.</source>
        <translation>L&apos;exécution n&apos;a pas abouti (%1) ; aucune sortie n&apos;a été écrite.</translation>
    </message>
</context>
<context>
    <name>halvo::Messages</name>
    <message>
        <source>No Analysis theme selected, please select from dropdown list.</source>
        <translation>Aucune couche d&apos;analyse choisie ; choisissez-en une dans la liste.</translation>
    </message>
    <message>
        <source>No Land Cover theme selected, please select from dropdown list.</source>
        <translation>Aucune couche d&apos;occupation du sol choisie ; choisissez-en une dans la liste.</translation>
    </message>
    <message>
        <source>Land Cover units not defined, please select from dropdown list.</source>
        <translation>Unités d&apos;occupation du sol non définies ; choisissez-les dans la liste.</translation>
    </message>
    <message>
        <source>Land Cover Type not defined, please select from dropdown list.</source>
        <translation>Jeu de coefficients non défini ; choisissez-en un dans la liste.</translation>
    </message>
    <message>
        <source>Analysis unit not defined, please select from dropdown list.</source>
        <translation>Champ d&apos;analyse non défini ; choisissez-en un dans la liste.</translation>
    </message>
    <message>
        <source>Population Density option not defined, please select option.</source>
        <translation>Option de densité de population non définie ; choisissez une option.</translation>
    </message>
    <message>
        <source>Output Theme not defined, please enter a name.</source>
        <translation>Couche de sortie non définie ; saisissez un nom.</translation>
    </message>
    <message>
        <source>No theme selected, please select from dropdown list.</source>
        <translation>Aucune couche choisie ; choisissez-en une dans la liste.</translation>
    </message>
    <message>
        <source>No class selected, please select from dropdown list.</source>
        <translation>Aucune classe choisie ; choisissez-en une dans la liste.</translation>
    </message>
    <message>
        <source>Please specify an output name.</source>
        <translation>Indiquez un nom de sortie.</translation>
    </message>
    <message>
        <source>Please enter a shapefile name.</source>
        <translation>Saisissez un nom de shapefile.</translation>
    </message>
    <message>
        <source>Invalid scenario number</source>
        <translation>Numéro de scénario non valide</translation>
    </message>
    <message>
        <source>The run was canceled; no output was written.</source>
        <translation>L&apos;exécution a été annulée ; aucune sortie n&apos;a été écrite.</translation>
    </message>
    <message>
        <source>No Land Cover Type defined, please select from the dropdown list before adding Development Scenarios</source>
        <translation>Aucun jeu de coefficients défini ; choisissez-en un dans la liste avant d&apos;ajouter des scénarios d&apos;aménagement</translation>
    </message>
    <message>
        <source>Some of the (selected) polygons in the Analysis Layer <byte value="xd"/>overlapped NODATA cells in the Land Cover Layer.  The <byte value="xd"/>area calculations for these polygons excludes the area <byte value="xd"/>of the NODATA cells.  These polygons may be identified <byte value="xd"/>by a &apos;N&apos; in the &apos;Complete&apos; field of the newly created <byte value="xd"/>Impervious Surface theme.</source>
        <translation>Certains polygones (sélectionnés) de la couche d&apos;analyse
recouvrent des cellules NODATA de la couche d&apos;occupation du sol.
Les surfaces de ces polygones excluent celles des cellules NODATA.
Ces polygones portent un « N » dans le champ « Complete »
de la nouvelle couche de surface imperméable.</translation>
    </message>
    <message>
        <source>NODATA Cells!</source>
        <translation>Cellules NODATA !</translation>
    </message>
    <message>
        <source>Shapefile Name</source>
        <translation>Nom du shapefile</translation>
    </message>
    <message>
        <source>Shapefile Name?</source>
        <translation>Nom du shapefile ?</translation>
    </message>
    <message>
        <source>Delete Scenario</source>
        <translation>Supprimer un scénario</translation>
    </message>
    <message>
        <source>Output Location</source>
        <translation>Emplacement de sortie</translation>
    </message>
    <message>
        <source>Land Cover Units</source>
        <translation>Unités d&apos;occupation du sol</translation>
    </message>
    <message>
        <source>The folder %1 does not exist. Create it?</source>
        <translation>Le dossier %1 n’existe pas. Le créer ?</translation>
    </message>
    <message>
        <source>The folder %1 could not be created (%2). Please choose another location for the output shapefile.</source>
        <translation>Le dossier %1 n’a pas pu être créé (%2). Choisissez un autre emplacement pour le shapefile de sortie.</translation>
    </message>
    <message>
        <source>No Population Density theme selected, please select from dropdown list.</source>
        <translation>Aucune couche de densité de population choisie ; choisissez-en une dans la liste.</translation>
    </message>
    <message>
        <source>No Populaiton Density field selected, please select from dropdown list.</source>
        <translation>Aucun champ de densité de population choisi ; choisissez-en un dans la liste.</translation>
    </message>
    <message>
        <source>Numeric value must be entered in field.</source>
        <translation>Saisissez une valeur numérique dans le champ.</translation>
    </message>
    <message>
        <source>Population density &quot;Low&quot; value must be less than the &quot;High&quot; value.</source>
        <translation>La valeur « Faible » de densité de population doit être inférieure à la valeur « Élevé ».</translation>
    </message>
    <message>
        <source>Invalid value entered - Class Value must be an integer.</source>
        <translation>Valeur non valide : la valeur de classe doit être un nombre entier.</translation>
    </message>
    <message>
        <source>Invalid value entered - Coefficients must be numeric.</source>
        <translation>Valeur non valide : les coefficients doivent être numériques.</translation>
    </message>
    <message>
        <source>Invalid value entered - Coefficients must be between 0-100.</source>
        <translation>Valeur non valide : les coefficients doivent être compris entre 0 et 100.</translation>
    </message>
    <message>
        <source>Coefficient Import Unsuccessful</source>
        <translation>Échec de l’importation des coefficients</translation>
    </message>
</context>
<context>
    <name>halvo::coefficients::AddSetDialog</name>
    <message>
        <source>Add Coefficient Set</source>
        <translation>Ajouter un jeu de coefficients</translation>
    </message>
    <message>
        <source>Coefficient Set</source>
        <translation>Jeu de coefficients</translation>
    </message>
    <message>
        <source>Model after existing Coefficient Set</source>
        <translation>D&apos;après un jeu de coefficients existant</translation>
    </message>
    <message>
        <source>Model After</source>
        <translation>D&apos;après</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>halvo::coefficients::CoefficientEditor</name>
    <message>
        <source>Change Coefficients</source>
        <translation>Modifier les coefficients</translation>
    </message>
    <message>
        <source>Coefficient Set</source>
        <translation>Jeu de coefficients</translation>
    </message>
    <message>
        <source>Class</source>
        <translation>Classe</translation>
    </message>
    <message>
        <source>Coefficients</source>
        <translation>Coefficients</translation>
    </message>
    <message>
        <source>New...</source>
        <translation>Nouveau...</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Appliquer</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>Transfer</source>
        <translation>Transfert</translation>
    </message>
    <message>
        <source>Import...</source>
        <translation>Importer...</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>Exporter...</translation>
    </message>
    <message>
        <source>Merge...</source>
        <translation>Fusionner...</translation>
    </message>
    <message>
        <source>Row Popup</source>
        <translation>Menu des lignes</translation>
    </message>
    <message>
        <source>Add a Row</source>
        <translation>Ajouter une ligne</translation>
    </message>
    <message>
        <source>Insert a Row</source>
        <translation>Insérer une ligne</translation>
    </message>
    <message>
        <source>Delete a Row</source>
        <translation>Supprimer une ligne</translation>
    </message>
    <message>
        <source>Impervious Surface Coefficient File to Import</source>
        <translation>Fichier de coefficients de surface imperméable à importer</translation>
    </message>
    <message>
        <source>Export Impervious Surface Coefficients into Filename</source>
        <translation>Exporter les coefficients de surface imperméable dans le fichier</translation>
    </message>
    <message>
        <source>Halvo Coefficient File to Merge</source>
        <translation>Fichier de coefficients Halvo à fusionner</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Valeur</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Élevé</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Moyen</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Faible</translation>
    </message>
</context>
<context>
    <name>halvo::params::AnalysisDialog</name>
    <message>
        <source>Coefficients</source>
        <translation>Coefficients</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Élevé</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Moyen</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Faible</translation>
    </message>
    <message>
        <source>Calculate</source>
        <translation>Calculer</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Parcourir...</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Exécuter</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>Land Cover Grid</source>
        <translation>Grille d&apos;occupation du sol</translation>
    </message>
    <message>
        <source>Land Cover Grid Units</source>
        <translation>Unités de la grille</translation>
    </message>
    <message>
        <source>Analysis Layer</source>
        <translation>Couche d&apos;analyse</translation>
    </message>
    <message>
        <source>Analysis Field</source>
        <translation>Champ d&apos;analyse</translation>
    </message>
    <message>
        <source>Coefficient Set</source>
        <translation>Jeu de coefficients</translation>
    </message>
    <message>
        <source>Which Coefficient?</source>
        <translation>Quel coefficient ?</translation>
    </message>
    <message>
        <source>Output Shapefile</source>
        <translation>Shapefile de sortie</translation>
    </message>
    <message>
        <source>Layer Name</source>
        <translation>Nom de la couche</translation>
    </message>
    <message>
        <source>Select Output Shapefile</source>
        <translation>Choisir le shapefile de sortie</translation>
    </message>
    <message>
        <source>Shapefile (*.shp)</source>
        <translation>Shapefile (*.shp)</translation>
    </message>
    <message>
        <source>Land Cover Change Scenarios</source>
        <translation>Scénarios de changement d&apos;occupation du sol</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Appliquer</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Delete...</source>
        <translation>Supprimer...</translation>
    </message>
    <message>
        <source>Change land cover classes within</source>
        <translation>Changer les classes d&apos;occupation dans</translation>
    </message>
    <message>
        <source>layer to</source>
        <translation>en</translation>
    </message>
    <message>
        <source>Enter number of scenario to delete:</source>
        <translation>Numéro du scénario à supprimer :</translation>
    </message>
    <message>
        <source>Delete Scenario</source>
        <translation>Supprimer un scénario</translation>
    </message>
    <message>
        <source>Write an HTML page</source>
        <translation>Écrire une page HTML</translation>
    </message>
    <message>
        <source>Save parameters...</source>
        <translation>Enregistrer les paramètres...</translation>
    </message>
    <message>
        <source>Save Parameters</source>
        <translation>Enregistrer les paramètres</translation>
    </message>
    <message>
        <source>Halvo parameter files (*.txt)</source>
        <translation>Fichiers de paramètres Halvo (*.txt)</translation>
    </message>
    <message>
        <source>Meters</source>
        <translation>Mètres</translation>
    </message>
    <message>
        <source>Feet</source>
        <translation>Pieds</translation>
    </message>
    <message>
        <source>Density from %1 (%2): High &gt;= %3, Low &lt;= %4</source>
        <translation>Densité de %1 (%2) : Élevé &gt;= %3, Faible &lt;= %4</translation>
    </message>
</context>
<context>
    <name>halvo::params::DensityDialog</name>
    <message>
        <source>Population Density Calculation</source>
        <translation>Calcul de la densité de population</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Pop. Density Layer</source>
        <translation>Couche de densité</translation>
    </message>
    <message>
        <source>Definition Field</source>
        <translation>Champ de définition</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Élevé</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Moyen</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Faible</translation>
    </message>
    <message>
        <source>between</source>
        <translation>entre</translation>
    </message>
    <message>
        <source>AND</source>
        <translation>ET</translation>
    </message>
</context>
<context>
    <name>halvo::plugin::Command</name>
    <message>
        <source>Run Impervious Surface Analysis...</source>
        <translation>Lancer l&apos;analyse de surface imperméable...</translation>
    </message>
    <message>
        <source>View Halvo Parameters for a Layer...</source>
        <translation>Voir les paramètres Halvo d&apos;une couche...</translation>
    </message>
    <message>
        <source>View Halvo Metadata for a Layer...</source>
        <translation>Voir les métadonnées Halvo d&apos;une couche...</translation>
    </message>
    <message>
        <source>Change Coefficients...</source>
        <translation>Modifier les coefficients...</translation>
    </message>
    <message>
        <source>Help...</source>
        <translation>Aide...</translation>
    </message>
    <message>
        <source>About Halvo...</source>
        <translation>À propos de Halvo...</translation>
    </message>
</context>
<context>
    <name>halvo::plugin::Extension</name>
    <message>
        <source>%1 written to %2</source>
        <translation>%1 écrit dans %2</translation>
    </message>
    <message>
        <source>Halvo</source>
        <translation>Halvo</translation>
    </message>
    <message>
        <source>Parameter Report</source>
        <translation>Rapport des paramètres</translation>
    </message>
    <message>
        <source>Open HTML Page</source>
        <translation>Ouvrir la page HTML</translation>
    </message>
</context>
<context>
    <name>halvo::plugin::MenuDef</name>
    <message>
        <source>Impervious Surface Tools</source>
        <translation>Outils de surface imperméable</translation>
    </message>
</context>
<context>
    <name>halvo::plugin::Toolbar</name>
    <message>
        <source>Halvo Tools</source>
        <translation>Outils Halvo</translation>
    </message>
</context>
<context>
    <name>halvo::reports::ReportViewer</name>
    <message>
        <source>Select a Layer:</source>
        <translation>Choisir une couche :</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
</context>
<context>
    <name>halvo::support::AboutDialog</name>
    <message>
        <source>The Halvo uses a land cover grid to estimate the impervious surface area for polygon features within a shapefile based on coefficients of imperviousness for each land cover type.</source>
        <translation>Halvo utilise une grille d&apos;occupation du sol pour estimer la surface imperméable des polygones d&apos;un shapefile, d&apos;après des coefficients d&apos;imperméabilité propres à chaque type d&apos;occupation du sol.</translation>
    </message>
    <message>
        <source>Halvo is free software under the GNU General Public License, version 2 or later, written and maintained by the Halvo developers. The coefficients it ships are estimates from published land-cover studies; check them against local conditions before relying on the results.</source>
        <translation>Halvo est un logiciel libre sous la licence publique générale GNU, version 2 ou ultérieure, écrit et maintenu par les développeurs de Halvo. Les coefficients fournis sont des estimations tirées d&apos;études publiées sur l&apos;occupation du sol ; vérifiez-les au regard des conditions locales avant de vous fier aux résultats.</translation>
    </message>
    <message>
        <source>Contact: the Halvo project&apos;s issue tracker.</source>
        <translation>Contact : le suivi des tickets du projet Halvo.</translation>
    </message>
    <message>
        <source>About Halvo</source>
        <translation>À propos de Halvo</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Extension folder: </source>
        <translation>Dossier de l’extension : </translation>
    </message>
</context>
<context>
    <name>halvo::support::CallStackWindow</name>
    <message>
        <source>Halvo Error Report</source>
        <translation>Rapport d&apos;erreur Halvo</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
</context>
<context>
    <name>halvo::support::HelpBrowser</name>
    <message>
        <source>Halvo Help</source>
        <translation>Aide de Halvo</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
</context>
<context>
    <name>halvo::support::ProcessingNotice</name>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Canceling...</source>
        <translation>Annulation...</translation>
    </message>
    <message>
        <source>Performing Impervious Surface Analysis.  Please wait...</source>
        <translation>Analyse de surface imperméable en cours. Veuillez patienter...</translation>
    </message>
</context>
</TS>
