"""Halvo's Processing provider for qgis_process, which loads no C++ plugins.

The algorithms live in the C++ plugin library halvo_ext.so; this package only
opens that library and asks it to register its provider. The library is found
where QGIS finds C++ plugins, in QGIS's order: its own plugin folder (the Debian
package's), then the profile's plugins/searchPathsForPlugins, which
tools/install-plugin.sh writes (HALVO_PLUGIN_LIBRARY names it directly).
"""

import ctypes
import os


def _library_path():
    given = os.environ.get("HALVO_PLUGIN_LIBRARY")
    if given:
        return given
    from qgis.core import QgsApplication, QgsSettings

    paths = QgsSettings().value("plugins/searchPathsForPlugins", [])
    if isinstance(paths, str):
        paths = paths.split("|")
    for folder in [QgsApplication.pluginPath()] + list(paths or []):
        candidate = os.path.join(folder.strip(), "halvo_ext.so")
        if os.path.isfile(candidate):
            return candidate
    raise RuntimeError(
        "halvo_ext.so is in none of the C++ plugin folders of this QGIS profile "
        "(QGIS's own, and plugins/searchPathsForPlugins): install the halvo package, "
        "or run tools/install-plugin.sh"
    )


class HalvoProcessing:
    def __init__(self, iface=None):
        self._library = None

    def initProcessing(self):
        if self._library is None:
            library = ctypes.CDLL(_library_path())
            library.halvoHoldProcessing()
            self._library = library

    def initGui(self):
        self.initProcessing()

    def unload(self):
        if self._library is not None:
            self._library.halvoReleaseProcessing()
            self._library = None


def classFactory(iface):
    return HalvoProcessing(iface)
