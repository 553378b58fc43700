# Halvo's start-up hook for QGIS, in a data folder of its own that
# /etc/profile.d/halvo.sh (and /usr/lib/environment.d/60-halvo.conf) add to
# XDG_DATA_DIRS: QGIS, and qgis_process, run every QGIS/QGIS3/startup.py of
# those folders, so a site's own startup.py keeps running beside this one.
# QGIS loads a plugin only when the profile says so, and a new profile says
# nothing: like QGIS does for its own core plugins, switch the Halvo plugin and
# its Processing package on in profiles that have never chosen; a profile that
# switched one off keeps that choice.
import os

from qgis.core import QgsApplication, QgsSettings


def _halvo_default_on():
    settings = QgsSettings()
    library = os.path.join(QgsApplication.pluginPath(), "halvo_ext.so")
    package = os.path.join(QgsApplication.pkgDataPath(), "python", "plugins", "halvo_processing")
    for key, present in (("Plugins/halvo_ext", library), ("PythonPlugins/halvo_processing", package)):
        if os.path.exists(present) and not settings.contains(key):
            settings.setValue(key, True)


_halvo_default_on()
