/* Tarquel's context calls: bind libOpenVG to the OpenGL context that is current. */
#ifndef TARQUEL_VG_VGEXT_H
#define TARQUEL_VG_VGEXT_H

#include <VG/openvg.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the library's context for the current OpenGL context and sets the
 * viewport and a one-unit-one-pixel projection (origin lower left, y up).
 * Returns VG_FALSE when a context exists already or a size is not positive. */
VG_API_CALL VGboolean VG_API_ENTRY vgCreateContextTQ(VGint width, VGint height) VG_API_EXIT;

/* Sets the same viewport and projection for a new size; 0 x 0 is accepted. */
VG_API_CALL void VG_API_ENTRY vgResizeSurfaceTQ(VGint width, VGint height) VG_API_EXIT;

/* Frees the context. Safe when the OpenGL context is already gone: then it only
 * releases memory and makes no OpenGL call. */
VG_API_CALL void VG_API_ENTRY vgDestroyContextTQ(void) VG_API_EXIT;

#ifdef __cplusplus
}
#endif

#endif
