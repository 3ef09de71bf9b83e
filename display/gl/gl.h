// OpenGL 1.1 fixed function and GLU, as every view of the GL library draws.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
