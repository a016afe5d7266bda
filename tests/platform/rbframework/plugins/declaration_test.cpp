// Reading binding texts: what a call through each form passes, and the forms
// that are refused rather than guessed at.
#include <rb/declaration.h>
#include <rb/entrypoints.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using rb::decl::Form;
using rb::decl::Kind;
using rb::decl::parse;

TEST(Declaration, MethodsTakeTheObjectThenTheDeclaredArgumentsInOrder) {
    auto sig =
        parse("QTGraphicsExporterPlyx.SetThumbnail(enabled as boolean, maxwidth as integer, maxheight as integer)");
    ASSERT_TRUE(sig.ok);
    EXPECT_EQ(sig.form, Form::Method);
    EXPECT_FALSE(sig.hasResult);
    ASSERT_EQ(sig.count, 3);
    EXPECT_EQ(sig.required, 3);
    EXPECT_EQ(sig.params[0].kind, Kind::Boolean);
    EXPECT_EQ(sig.params[1].kind, Kind::Integer);
    EXPECT_EQ(sig.params[2].kind, Kind::Integer);

    sig = parse("QTGraphicsImporterPlyx.MakePicture(width as integer, height as integer) as picture");
    ASSERT_TRUE(sig.ok);
    EXPECT_TRUE(sig.hasResult);
    EXPECT_EQ(sig.result, Kind::Object) << "a host class is an object";

    sig = parse("QTGrabberPlyx.Close");  // no parentheses, nothing given back
    ASSERT_TRUE(sig.ok);
    EXPECT_EQ(sig.count, 0);
    EXPECT_FALSE(sig.hasResult);

    sig = parse("QTGraphicsImporterMatrixPlyx.QuadToQuadMatrix(frompoints() as object, topoints() as object)");
    ASSERT_TRUE(sig.ok);
    EXPECT_EQ(sig.count, 2);
    EXPECT_EQ(sig.params[0].kind, Kind::Object) << "an array is a host object";

    sig = parse("QTGraphicsImporterPlyx.GraphicsModeColor as color");
    ASSERT_TRUE(sig.ok);
    EXPECT_EQ(sig.result, Kind::Integer) << "a colour is a 32-bit value";
}

TEST(Declaration, GlobalsTakeNoObjectAndDefaultsFillTheTail) {
    auto sig = parse("EncodeBase64(data As String, lineWrap As Integer = 76) As String");
    ASSERT_TRUE(sig.ok);
    EXPECT_EQ(sig.form, Form::Global);
    EXPECT_EQ(sig.count, 2);
    EXPECT_EQ(sig.required, 1);
    EXPECT_TRUE(sig.params[1].optional);
    EXPECT_EQ(sig.params[1].fallback, 76);
    EXPECT_EQ(sig.result, Kind::String);

    sig = parse("application.BundleResourceFolderPlyx as folderitem");
    ASSERT_TRUE(sig.ok);
    EXPECT_EQ(sig.form, Form::Method) << "an application extension takes the application object";
}

TEST(Declaration, SettersTakeTheValueLastAndPropertiesTheirDeclaredType) {
    auto sig = parse("BevelButton.List(index as integer) as string.Set");
    ASSERT_TRUE(sig.ok);
    EXPECT_EQ(sig.form, Form::Method);
    ASSERT_EQ(sig.count, 2);
    EXPECT_EQ(sig.params[0].kind, Kind::Integer);
    EXPECT_EQ(sig.params[1].kind, Kind::String);
    EXPECT_FALSE(sig.hasResult);

    sig = parse("AVC.TimeCode.Get", "String");
    ASSERT_TRUE(sig.ok);
    EXPECT_EQ(sig.form, Form::Property);
    EXPECT_EQ(sig.result, Kind::String);
    sig = parse("QTGrabberPlyx.CurrentVideoSize.Set", "IntegerRectPlyx");
    ASSERT_TRUE(sig.ok);
    EXPECT_EQ(sig.count, 1);
    EXPECT_EQ(sig.params[0].kind, Kind::Object);
    EXPECT_FALSE(parse("AVC.TimeCode.Get").ok) << "a property's text does not say its type";
    EXPECT_TRUE(parse("AVC.__init").ok);
}

TEST(Declaration, FormsItDoesNotKnowAreRefused) {
    for (const char *text :
         {"AVC.Seek(ByRef frame as integer)", "AVC.Seek(frame as Int64)", "AVC.Seek(frame as UInt32)",
          "AVC.Seek(frame as integer", "AVC.Seek(frame integer)", "AVC.Seek(name as string = \"x\")",
          "AVC.Seek(a as integer = 1, b as integer)", "AVC.Seek() as", "AVC.Seek() as integer trailing",
          "AVC.Close.Set", "AVC.Seek(frame as integer) as integer.Get"})
        EXPECT_FALSE(parse(text).ok) << text;
}

TEST(Declaration, ATextPickedAtRunTimeIsTypedOnlyLikeItsDeclaration) {
    EXPECT_THROW(rb::lookupLike<"AVC.WindStop()">("AVC.PlayForward(speed as integer)"), std::logic_error);
    EXPECT_THROW((rb::lookupLike<"AVC.exists.Get", "Boolean">("AVC.TimeCode.Get", "String")), std::logic_error);
    EXPECT_THROW((rb::lookupLike<"AVC.TimeCode.Get", "String">("AVC.TimeCode.Get")), std::logic_error);
}

}  // namespace
