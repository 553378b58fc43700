# Installed with Halvo as QGIS's system-wide startup.py: QGIS loads a C++ plugin
# only when the profile says so, and a new profile says nothing. Like QGIS does
# for its own core plugins, switch Halvo on in profiles that have never chosen;
# a profile that switched it off keeps that choice.
import os

from qgis.core import QgsApplication, QgsSettings


def _halvo_default_on():
    plugin = os.path.join(QgsApplication.pluginPath(), "halvo_ext.so")
    settings = QgsSettings()
    if os.path.exists(plugin) and not settings.contains("Plugins/halvo_ext"):
        settings.setValue("Plugins/halvo_ext", True)


_halvo_default_on()
