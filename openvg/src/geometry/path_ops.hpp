// Path-to-path operations that need the geometry: transforming and
// interpolating. Handles and capabilities are checked by the caller.
#pragma once

#include "core/matrix.hpp"
#include "core/path.hpp"

namespace tq {

// Appends src mapped by m to dst (dst may be src). Segments keep their kind
// and absolute/relative form, relative ones mapped by the linear part only,
// except that H/V lines become lines and arcs get the radii and rotation of
// the mapped ellipse, changing direction when m mirrors.
VGErrorCode transformPath(Path& dst, const Path& src, const Matrix& m);

// Appends start + (end - start) * amount of the normalised forms of the two
// paths to dst (dst may be either). Sets `compatible` false, and leaves dst
// untouched, when their normalised command sequences differ.
VGErrorCode interpolatePath(Path& dst, const Path& start, const Path& end, float amount,
                            bool& compatible);

}  // namespace tq
