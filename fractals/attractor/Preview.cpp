// The attractor's point preview: gathering and clamping points, the
// bounding box and sphere (measured on the z-negated vertices OpenGL draws,
// the centre turned back into a world point before anyone uses it), the
// view onto the object, and the OpenGL state, lights and display list.
#include "fractals/attractor/Preview.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include "calc/colour/OtherColouring.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "fractals/attractor/Camera.h"
#include "fractals/attractor/Composition.h"
#include "view3d/OpenGLRenderer.h"
#include "view3d/ViewPlane.h"

namespace {

const int kBatchCapacity = 1024;

AttractorParameters* Block(Fractal* fractal) { return static_cast<AttractorParameters*>(fractal->typeParameters); }

double Distance(const float* a, const float* b) {
    double dx = (double)a[0] - b[0], dy = (double)a[1] - b[1], dz = (double)a[2] - b[2];
    return sqrt(dx * dx + dy * dy + dz * dz);
}

// Column-major view matrix of an eye at eye looking at centre with up.
void LookAtMatrix(const double eye[3], const double centre[3], const double up[3], double m[16]) {
    double f[3] = {centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]};
    NormalizeVector(f);
    double s[3], u[3];
    CrossProduct(f, up, s);
    NormalizeVector(s);
    CrossProduct(s, f, u);
    memset(m, 0, 16 * sizeof(double));
    for (int i = 0; i < 3; ++i) {
        m[i * 4 + 0] = s[i];
        m[i * 4 + 1] = u[i];
        m[i * 4 + 2] = -f[i];
    }
    m[12] = -(s[0] * eye[0] + s[1] * eye[1] + s[2] * eye[2]);
    m[13] = -(u[0] * eye[0] + u[1] * eye[1] + u[2] * eye[2]);
    m[14] = f[0] * eye[0] + f[1] * eye[1] + f[2] * eye[2];
    m[15] = 1;
}

}  // namespace

double ClampPreviewCoordinate(double v) {
    // Denormal as the float the vertex is stored in, too.
    if (!isfinite(v) || fabs(v) > 100 || (v != 0 && fabs(v) < FLT_MIN))
        return 0;
    return v;
}

void ComputeBoundingSphere(const float* vertices, int count, const int extremes[6], double centre[3],
                           double* radius) {
    centre[0] = centre[1] = centre[2] = 0;
    *radius = 0;
    if (count <= 0)
        return;
    double widest = -1;
    int a = extremes[0], b = extremes[0];
    for (int i = 0; i < 6; ++i)
        for (int j = i + 1; j < 6; ++j) {
            double d = Distance(vertices + 3 * extremes[i], vertices + 3 * extremes[j]);
            if (d > widest) {
                widest = d;
                a = extremes[i];
                b = extremes[j];
            }
        }
    for (int k = 0; k < 3; ++k)
        centre[k] = ((double)vertices[3 * a + k] + vertices[3 * b + k]) / 2;
    *radius = widest / 2;
    for (int i = 0; i < count; ++i) {
        const float* p = vertices + 3 * i;
        double d[3] = {p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]};
        double dist = sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (dist > *radius) {
            double grown = (dist + *radius) / 2;
            double step = (dist - grown) / dist;
            for (int k = 0; k < 3; ++k)
                centre[k] += step * d[k];
            *radius = grown;
        }
    }
}

bool GatherPreviewPoints(Fractal* fractal, PreviewCloud* cloud, int count, const PreviewSampleSource& source,
                         bool ownColours) {
    if (!cloud->Allocate(count))
        return false;
    const AttractorParameters* block = Block(fractal);
    bool gas = block->RenderMode == ARM_GAS;
    for (int k = 0; k < 3; ++k) {
        cloud->boxMin[k] = 1e10;
        cloud->boxMax[k] = -1e10;
    }
    int extremes[6] = {0, 0, 0, 0, 0, 0};
    PreviewSample batch[kBatchCapacity];
    int gathered = 0;
    while (gathered < count) {
        int want = count - gathered < kBatchCapacity ? count - gathered : kBatchCapacity;
        int got = source.batch(source.context, batch, want);
        if (got <= 0)
            break;
        for (int i = 0; i < got && gathered < count; ++i, ++gathered) {
            const PreviewSample& s = batch[i];
            double p[3] = {ClampPreviewCoordinate(s.x), ClampPreviewCoordinate(s.y), ClampPreviewCoordinate(s.z)};
            float* vertex = cloud->vertices + 3 * gathered;
            vertex[0] = (float)p[0];
            vertex[1] = (float)p[1];
            vertex[2] = (float)-p[2];
            float* colour = cloud->colours + 3 * gathered;
            if (gas) {
                colour[0] = colour[1] = colour[2] = 1;
            } else if (ownColours) {
                colour[0] = s.red / 255.0f;
                colour[1] = s.green / 255.0f;
                colour[2] = s.blue / 255.0f;
            } else {
                int rgb[3];
                MapAttractorColor(fractal, s.index, 0, rgb);
                for (int k = 0; k < 3; ++k)
                    colour[k] = rgb[k] / 255.0f;
            }
            for (int k = 0; k < 3; ++k) {
                if (p[k] < cloud->boxMin[k]) {
                    cloud->boxMin[k] = p[k];
                    extremes[2 * k] = gathered;
                }
                if (p[k] > cloud->boxMax[k]) {
                    cloud->boxMax[k] = p[k];
                    extremes[2 * k + 1] = gathered;
                }
            }
        }
    }
    double centre[3];
    ComputeBoundingSphere(cloud->vertices, gathered, extremes, centre, &cloud->sphereRadius);
    // The sphere was measured on the drawn vertices; its centre serves as a
    // world point (shadow cameras, followObject), so z is turned back.
    cloud->sphereCentre[0] = centre[0];
    cloud->sphereCentre[1] = centre[1];
    cloud->sphereCentre[2] = -centre[2];
    return gathered == count;
}

bool MeasureAttractorBounds(Fractal* fractal, PreviewCloud* cloud, const PreviewSampleSource& source,
                            bool ownColours) {
    AttractorParameters* block = Block(fractal);
    if (!GatherPreviewPoints(fractal, cloud, block->PreviewPixels, source, ownColours))
        return false;
    if (block->followObject) {
        block->Viewpoint_x = cloud->sphereCentre[0];
        block->Viewpoint_y = cloud->sphereCentre[1];
        block->Viewpoint_z = cloud->sphereCentre[2];
        const double observer[3] = {block->Obs_x, block->Obs_y, block->Obs_z};
        const double viewpoint[3] = {block->Viewpoint_x, block->Viewpoint_y, block->Viewpoint_z};
        double top[3] = {block->top_x, block->top_y, block->top_z};
        MakeTopVectorPerpendicular(observer, viewpoint, top, 1);
        block->top_x = top[0];
        block->top_y = top[1];
        block->top_z = top[2];
        PostToMainFrame(UM_ATTRACTOR_VIEW, (WPARAM)fractal, 0);
    }
    return true;
}

void AttractorFogRange(double d, double r, float* start, float* end) {
    *start = d < r ? 0.0f : (float)(d - 0.8 * r);
    *end = (float)(d + 0.9 * r);
}

int SetupAttractorLightsGL(Fractal* fractal) {
    const AttractorParameters* block = Block(fractal);
    const LightBlock& l = block->lights;
    int k = 0;
    for (int i = 0; i < 8; ++i)
        k += l.enabled[i] ? 1 : 0;
    for (int i = 0; i < 8; ++i) {
        GLenum light = GL_LIGHT0 + i;
        if (!l.enabled[i]) {
            g_GL.glDisable(light);
            continue;
        }
        g_GL.glEnable(light);
        float share = 1.0f / k;
        float ambient[4] = {0.5f * share, 0.5f * share, 0.5f * share, 1};
        float diffuse[4] = {l.colour[i][0] / 255.0f * share, l.colour[i][1] / 255.0f * share,
                            l.colour[i][2] / 255.0f * share, 1};
        float specularScale = (float)(l.specularStrength[i] / 255.0 * share);
        float specular[4] = {l.specular[i][0] * specularScale, l.specular[i][1] * specularScale,
                             l.specular[i][2] * specularScale, 1};
        float position[4] = {0, 0, 0, 1};
        if (l.relative[i]) {
            double world[3];
            AttractorCameraToWorld(block, l.position[i], world);
            for (int c = 0; c < 3; ++c)
                position[c] = (float)world[c];
        } else {
            position[0] = (float)l.position[i][0];
            position[1] = (float)l.position[i][1];
            position[2] = (float)-l.position[i][2];
        }
        g_GL.glLightfv(light, GL_AMBIENT, ambient);
        g_GL.glLightfv(light, GL_DIFFUSE, diffuse);
        g_GL.glLightfv(light, GL_SPECULAR, specular);
        g_GL.glLightfv(light, GL_POSITION, position);
    }
    const float black[4] = {0, 0, 0, 1};
    g_GL.glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    g_GL.glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_FALSE);
    g_GL.glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    return k;
}

bool BuildAttractorDisplayList(Fractal* fractal, OpenGLRenderer* renderer, const PreviewSampleSource& source,
                               bool ownColours) {
    if (!LoadOpenGL() || !renderer)
        return false;
    AttractorParameters* block = Block(fractal);
    if (!block->displayList)
        block->displayList = g_GL.glGenLists(1);
    PreviewCloud& cloud = renderer->cloud;
    if (renderer->rebuildPoints || !cloud.vertices) {
        if (!MeasureAttractorBounds(fractal, &cloud, source, ownColours))
            return false;
        renderer->rebuildPoints = 0;
    }
    int W = fractal->header->Width, H = fractal->header->Height;
    double aspect = (double)W / (H ? H : 1);
    double top = tan(block->FieldOfView * 3.14159265358979 / 360) * 0.1;
    g_GL.glMatrixMode(GL_PROJECTION);
    g_GL.glLoadIdentity();
    g_GL.glFrustum(-top * aspect, top * aspect, -top, top, 0.1, 100000);
    g_GL.glMatrixMode(GL_MODELVIEW);
    const double eye[3] = {block->Obs_x, block->Obs_y, -block->Obs_z};
    const double at[3] = {block->Viewpoint_x, block->Viewpoint_y, -block->Viewpoint_z};
    const double up[3] = {block->top_x, block->top_y, -block->top_z};
    double view[16];
    LookAtMatrix(eye, at, up, view);
    g_GL.glLoadMatrixd(view);

    const uint8_t* bg = block->BackgroundColor;
    g_GL.glClearColor(bg[0] / 255.0f, bg[1] / 255.0f, bg[2] / 255.0f, 1);
    g_GL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    g_GL.glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    g_GL.glViewport(0, 0, W, H);

    g_GL.glEnable(GL_COLOR_MATERIAL);
    g_GL.glEnable(GL_FOG);
    double dx = block->Obs_x - block->Viewpoint_x, dy = block->Obs_y - block->Viewpoint_y,
           dz = block->Obs_z - block->Viewpoint_z;
    float fogStart, fogEnd;
    AttractorFogRange(sqrt(dx * dx + dy * dy + dz * dz), cloud.sphereRadius, &fogStart, &fogEnd);
    const float fogColour[4] = {bg[0] / 256.0f, bg[1] / 256.0f, bg[2] / 256.0f, 1};
    g_GL.glFogi(GL_FOG_MODE, GL_LINEAR);
    g_GL.glFogf(GL_FOG_START, fogStart);
    g_GL.glFogf(GL_FOG_END, fogEnd);
    g_GL.glFogfv(GL_FOG_COLOR, fogColour);

    SetupAttractorLightsGL(fractal);
    g_GL.glEnable(GL_LIGHTING);

    g_GL.glNewList(block->displayList, GL_COMPILE);
    g_GL.glEnable(GL_NORMALIZE);
    g_GL.glEnable(GL_DEPTH_TEST);
    g_GL.glDepthFunc(GL_LEQUAL);
    if (block->RenderMode == ARM_GAS) {
        g_GL.glDisable(GL_POINT_SMOOTH);
        g_GL.glPointSize(1.0f);
        g_GL.glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
        g_GL.glShadeModel(GL_FLAT);
    } else {
        g_GL.glEnable(GL_POINT_SMOOTH);
        g_GL.glPointSize(1.4f);
        g_GL.glPolygonMode(GL_FRONT, GL_POINT);
        g_GL.glShadeModel(GL_SMOOTH);
    }
    g_GL.glEnableClientState(GL_VERTEX_ARRAY);
    g_GL.glEnableClientState(GL_COLOR_ARRAY);
    g_GL.glVertexPointer(3, GL_FLOAT, 0, cloud.vertices);
    g_GL.glColorPointer(3, GL_FLOAT, 0, cloud.colours);
    g_GL.glDrawArrays(GL_POINTS, 0, cloud.count);
    g_GL.glEndList();
    block->rebuildPoints = 0;

    g_GL.glCallList(block->displayList);
    g_GL.glFlush();
    g_GL.glFinish();
    if (renderer->windowContext)
        SwapBuffers(renderer->windowDC);
    for (int i = 0; i < 100 && !fractal->task->command; ++i)
        Sleep(1);
    return true;
}
