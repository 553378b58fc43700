// Runs the desktop tests inside a headless QGIS, with HOME and the runtime
// folder in throwaway places so no profile lands in the real home.

#include "support/test_paths.h"

#include <qgsapplication.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    halvo::test::TempDir home("halvo-qgis-home");
    halvo::test::TempDir runtime("halvo-qgis-runtime");
    ::chmod(runtime.path().c_str(), 0700);
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QgsApplication app(argc, argv, true);
    QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
    QgsApplication::initQgis();
    const int rc = RUN_ALL_TESTS();
    QgsApplication::exitQgis();
    return rc;
}
