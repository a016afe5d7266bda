// QTGraphicsImporterMatrixPlyx: a 3x3 fixed-point transformation matrix
// (nine 32-bit values, the third column 2.30 fractions) and the platform's
// matrix operations on it. No constructor: the importer makes these objects
// by class name and fills them.
#include "classes.h"
#include "helpers.h"

#include <cstddef>

using namespace imaging;

namespace gp {

namespace {

MatrixRecord *dataOf(REALobject obj) { return static_cast<MatrixRecord *>(REALGetClassData(obj, &gMatrixClass)); }

void SetIdentity(REALobject obj) {
    if (MatrixRecord *m = dataOf(obj)) SetIdentityMatrix(m);
}

REALobject CopyMatrix(REALobject obj) {
    MatrixRecord *m = dataOf(obj);
    return m ? newMatrixObject(*m) : nullptr;
}

RBBoolean Equal(REALobject obj, REALobject second) {
    MatrixRecord *m = dataOf(obj), *other = matrixOfObject(second);
    return m && other && EqualMatrix(m, other);
}

void Rotate(REALobject obj, double degrees, double anchorX, double anchorY) {
    if (MatrixRecord *m = dataOf(obj))
        RotateMatrix(m, fixedFromDouble(degrees), fixedFromDouble(anchorX), fixedFromDouble(anchorY));
}

void Scale(REALobject obj, double scaleX, double scaleY, double aboutX, double aboutY) {
    if (MatrixRecord *m = dataOf(obj))
        ScaleMatrix(m, fixedFromDouble(scaleX), fixedFromDouble(scaleY), fixedFromDouble(aboutX),
                    fixedFromDouble(aboutY));
}

void Skew(REALobject obj, double skewX, double skewY, double aboutX, double aboutY) {
    if (MatrixRecord *m = dataOf(obj))
        SkewMatrix(m, fixedFromDouble(skewX), fixedFromDouble(skewY), fixedFromDouble(aboutX), fixedFromDouble(aboutY));
}

void Translate(REALobject obj, double deltaH, double deltaV) {
    if (MatrixRecord *m = dataOf(obj)) TranslateMatrix(m, fixedFromDouble(deltaH), fixedFromDouble(deltaV));
}

// The destructor and Close: a matrix holds nothing to let go of.
void Nothing(REALobject) {}

// Up to four corners from an array of point objects; every element read is
// released. Returns how many points converted (more than four counts as 5).
int readCorners(REALarray points, FixedPoint corners[4]) {
    int found = 0;
    int32_t last = arrayUBound(points);
    for (int32_t i = 0; i <= last; ++i) {
        REALobject element = arrayElement(points, i);
        FixedPoint p;
        if (element && fixedPointFromObject(element, &p)) {
            if (found < 4) corners[found] = p;
            if (found < 5) ++found;
        }
        unlockObject(element);
    }
    return found;
}

void QuadToQuad(REALobject obj, REALarray from, REALarray to) {
    MatrixRecord *m = dataOf(obj);
    if (!m || !from || !to) return;
    FixedPoint source[4], dest[4];
    int sourceCount = readCorners(from, source), destCount = readCorners(to, dest);
    // Five or more valid points: the first four are used.
    if (sourceCount < 4 || destCount < 4) return;
    QuadToQuadMatrix(source, dest, m);  // its status is not kept
}

}  // namespace

#define MEMBERS_DEF "graphicsplugin/members.def"
#define PLUGIN_SECTION GRAPHICS_MATRIX
#define CLASS_RECORD gMatrixClass
#define CLASS_DATA MatrixRecord
#include "class_records.inc"

REALobject newMatrixObject(const MatrixRecord &matrix) {
    REALobject object = newInstance(gMatrixClass.name);
    if (MatrixRecord *m = object ? dataOf(object) : nullptr) *m = matrix;
    return object;
}

MatrixRecord *matrixOfObject(REALobject object) {
    if (!object || objectIsA(object, gMatrixClass.name) != 1) return nullptr;
    return dataOf(object);
}

}  // namespace gp
