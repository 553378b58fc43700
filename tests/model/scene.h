#pragma once
// A small whole-run case: a land cover of square cells (one hectare unless
// told) at (X0, Y0) and a coefficient file, run in this process.

#include "support/run_case.h"

namespace halvo::test {

constexpr double X0 = 1500000, Y0 = 1600000, S = 100;

// Cells [c0, c1) × [r0, r1) of a grid of one-hectare cells (fractions allowed).
inline std::string Box(double c0, double r0, double c1, double r1) { return CellBox(X0, Y0, S, c0, r0, c1, r1); }

struct Scene {
    RunCase rc;
    std::filesystem::path lc, coef, out;
    Scene(int width, int height, const std::vector<int>& cells, const char* coefficients = kTwoClassCoefficients,
          double cell = S)
        : lc(rc.raster("landcover", width, height, X0, Y0, cell, cell, cells)), coef(rc.csv("coef.csv", coefficients)),
          out(rc.data() / "out.shp")
    {
    }
    // `halvo run` over `zones` into out.shp; with `yes`, a question is answered OK.
    RunOutput run(const std::filesystem::path& zones, const std::string& more, const std::string& field = "NAME",
                  bool yes = true)
    {
        return rc.cli("run --landcover " + lc.string() + " --analysis '" + zones.string() + "' --field " + field +
                      " --coefficients-csv " + coef.string() + " --output " + out.string() + (yes ? " --yes " : " ") +
                      more);
    }
    std::map<std::string, ZoneResult> result(const std::string& field = "NAME") { return rc.read(out, field); }
};

}  // namespace halvo::test
