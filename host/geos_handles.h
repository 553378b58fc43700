#pragma once
// One reentrant GEOS context per owner, and unique pointers for its geometries.

#include <geos_c.h>

#include <memory>

namespace halvo::host {

class GeosContext {
public:
    GeosContext() : h_(GEOS_init_r()) {}
    ~GeosContext() { GEOS_finish_r(h_); }
    GeosContext(const GeosContext&) = delete;
    GeosContext& operator=(const GeosContext&) = delete;
    GEOSContextHandle_t get() const { return h_; }

private:
    GEOSContextHandle_t h_;
};

struct GeomDeleter {
    GEOSContextHandle_t ctx;
    void operator()(GEOSGeometry* g) const { GEOSGeom_destroy_r(ctx, g); }
};
using GeomPtr = std::unique_ptr<GEOSGeometry, GeomDeleter>;

struct TreeDeleter {
    GEOSContextHandle_t ctx;
    void operator()(GEOSSTRtree* t) const { GEOSSTRtree_destroy_r(ctx, t); }
};
using TreePtr = std::unique_ptr<GEOSSTRtree, TreeDeleter>;

struct PreparedDeleter {
    GEOSContextHandle_t ctx;
    void operator()(const GEOSPreparedGeometry* p) const { GEOSPreparedGeom_destroy_r(ctx, p); }
};
using PreparedPtr = std::unique_ptr<const GEOSPreparedGeometry, PreparedDeleter>;

}  // namespace halvo::host
