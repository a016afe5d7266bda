// Calls into plug-in members through the binding table, as the application
// writes them. Built with no CASE it holds only calls that match their
// declarations and must build; each CASE adds one call that does not match
// and must not build (see CMakeLists.txt for the diagnostic each one gives).
#include "binding/entrypoints.h"

#include <rb/entrypoints.h>

#include <cstdint>

namespace typed_calls {

void matching(REALobject deck, REALobject grabber, REALobject exporter, REALobject rect) {
    rb::call(ENTRY("AVC.PlayForward(speed as integer)"), deck, int32_t(2));
    rb::call(ENTRY("AVC.PlayReverse(speed as integer)"), deck, int16_t(-3));  // a narrower integer widens
    rb::call(ENTRY("AVC.PlayForward()"), deck);
    bool there = rb::getProp(ENTRY("AVC.exists.Get"), deck);
    int32_t error = rb::getProp(ENTRY("AVC.lastError.Get"), deck);
    rb::String code = rb::getProp(ENTRY("AVC.TimeCode.Get"), deck);
    rb::setProp(ENTRY("AVC.TimeCode.Set"), deck, code);
    rb::call(ENTRY("QTGrabberPlyx.Prepare(PrepareForPreview as boolean, PrepareForRecord as boolean)"), grabber, true,
             false);
    rb::ObjRef size = rb::getProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Get"), grabber);
    rb::setProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Set"), grabber, size);
    rb::setProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Set"), grabber, rect);
    rb::ObjRef picture = rb::call(ENTRY("QTGrabberPlyx.GrabPicture(rect as object) as picture"), grabber, size);
    rb::call(ENTRY("QTGraphicsExporterPlyx.OpenExporter(type as string)"), exporter, rb::String("TIFF"));
    rb::setProp(ENTRY("QTGraphicsExporterPlyx.InputPicture.Set"), exporter, picture);
    rb::String data = rb::call(ENTRY("QTGraphicsExporterPlyx.ExportToString as string"), exporter);
    rb::call(ENTRY("QTGraphicsExporterPlyx.SetResolution(h as double, v as double)"), exporter, 72.0, 72.0f);
    rb::call(ENTRY("QTGrabberPlyx.SoundPlaythroughEnabled as integer.Set"), grabber, int32_t(1));
    rb::String wrapped = rb::callGlobal(ENTRY("EncodeBase64(data As String, lineWrap As Integer = 76) As String"),
                                        data);  // lineWrap left at its default
    rb::callGlobal(ENTRY("EncodeBase64(data As String, lineWrap As Integer = 76) As String"), data, int32_t(0));
    (void)there, (void)error, (void)wrapped;

#if CASE == 1  // a long where the member takes a 32-bit integer
    long speed = 2;
    rb::call(ENTRY("AVC.PlayForward(speed as integer)"), deck, speed);
#elif CASE == 2   // a double where the member takes an integer
    rb::call(ENTRY("AVC.PlayForward(speed as integer)"), deck, 2.0);
#elif CASE == 3   // the argument left out
    rb::call(ENTRY("AVC.PlayForward(speed as integer)"), deck);
#elif CASE == 4   // an argument the member does not take
    rb::call(ENTRY("AVC.PlayForward()"), deck, int32_t(1));
#elif CASE == 5   // an integer where the member takes an object
    rb::call(ENTRY("QTGrabberPlyx.GrabPicture(rect as object) as picture"), grabber, 0);
#elif CASE == 6   // an integer where the member takes a boolean
    rb::call(ENTRY("QTGrabberPlyx.Prepare(PrepareForPreview as boolean, PrepareForRecord as boolean)"), grabber, 1, 0);
#elif CASE == 7   // the result taken as another type than declared
    int32_t length = rb::call(ENTRY("QTGraphicsExporterPlyx.ExportToString as string"), exporter);
    (void)length;
#elif CASE == 8   // a property set with a value of another type than declared
    rb::setProp(ENTRY("AVC.TimeCode.Set"), deck, int32_t(5));
#elif CASE == 9   // a text the binding does not know how to call
    rb::call(rb::Member<"AVC.Seek(ByRef frame as integer)">{nullptr}, deck, int32_t(0));
#elif CASE == 10  // a double where the member takes a single
    rb::call(rb::Member<"Scaler.Scale(by as single)">{nullptr}, deck, 0.5);
#endif
}

}  // namespace typed_calls
