// Registration records a plug-in must not get away with: the host's own
// class names, no name, instance data that wraps the object size, and
// direct-access fields outside the data or overlapping as other kinds.
#include <rb/picture.h>
#include <rb/plugins.h>
#include <rb/object.h>
#include <rb/string.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kDir = HOSTILE_PLUGIN_DIR;

class HostileRecords : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testing::internal::CaptureStderr();
        load = rb::loadPlugin(kDir + "/hostileplugin.so");
        messages = testing::internal::GetCapturedStderr();
    }
    static bool said(const std::string &cls, const std::string &why) {
        std::string head = "rbframework: plug-in hostileplugin.so: class \"" + cls + "\" refused: ";
        size_t at = messages.find(head);
        return at != std::string::npos && messages.compare(at + head.size(), why.size(), why) == 0;
    }
    static rb::PluginLoad load;
    static std::string messages;
};
rb::PluginLoad HostileRecords::load;
std::string HostileRecords::messages;

TEST_F(HostileRecords, HostClassNamesStayTheHosts) {
    EXPECT_TRUE(load.ok) << load.error;
    EXPECT_TRUE(said("Picture", "the host defines a class of that name")) << messages;
    EXPECT_TRUE(said("folderitem", "the host defines a class of that name")) << messages;
    EXPECT_TRUE(said("BinaryStream", "the host defines a class of that name")) << messages;
    rb::ClassInfo *picture = rb::findClass("Picture");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture, rb::pictureClass());
    EXPECT_EQ(picture->def, nullptr);
    EXPECT_EQ(rb::findClass("FolderItem")->def, nullptr);
    // The host's pictures still work after the clash.
    REALobject p = rb::newObject(rb::pictureClass());
    ASSERT_NE(p, nullptr);
    rb::release(p);
}

TEST_F(HostileRecords, NamelessAndDuplicateRecordsAreRefusedAsSuch) {
    EXPECT_TRUE(said("", "a class needs a name")) << messages;
    EXPECT_EQ(messages.find("\"\" refused: a class of that name is already registered"), std::string::npos);
    EXPECT_TRUE(said("Survivor", "a class of that name is already registered")) << messages;
}

TEST_F(HostileRecords, InstanceDataThatWouldWrapIsRefused) {
    EXPECT_TRUE(said("Huge", "instance data of 4294967280 bytes")) << messages;
    EXPECT_EQ(rb::findClass("Huge"), nullptr);
    // The registry itself refuses sizes that would wrap, whoever asks.
    EXPECT_EQ(rb::defineClassRaw("HugeRaw", nullptr, 0xFFFFFFF0u, 8), nullptr);
    EXPECT_EQ(rb::defineClassRaw("HugeRaw", nullptr, rb::kMaxInstanceSize, 8), nullptr);
    ASSERT_NE(rb::defineClassRaw("HugeRawButSound", nullptr, 1024, 8), nullptr);
}

TEST_F(HostileRecords, DirectFieldsMustLieInsideTheDataAndOverlapOnlyAsAliases) {
    EXPECT_TRUE(said("BeyondEnd", "property \"Beyond\" at byte 4 (8 bytes) lies outside")) << messages;
    EXPECT_TRUE(said("Negative", "property \"Before\" at byte -8")) << messages;
    EXPECT_TRUE(said("WayOut", "property \"Far\" at byte 1048576")) << messages;
    EXPECT_TRUE(said("Mixed", "properties \"Count\" and \"Text\" overlap in the instance data")) << messages;
    EXPECT_TRUE(said("Straddle", "properties \"First\" and \"Second\" overlap in the instance data")) << messages;
    for (const char *n : {"BeyondEnd", "Negative", "WayOut", "Mixed", "Straddle"})
        EXPECT_EQ(rb::findClass(n), nullptr) << n;
}

TEST_F(HostileRecords, TheSoundClassLoadsAndItsFieldsWork) {
    rb::ClassInfo *cls = rb::findClass("Survivor");
    ASSERT_NE(cls, nullptr);
    ASSERT_NE(cls->def, nullptr);
    EXPECT_EQ(cls->def->dataSize, 24u);  // the first record, not the duplicate
    REALobject o = rb::newObject(cls);
    ASSERT_NE(o, nullptr);
    EXPECT_TRUE(rb::setPropValue(o, "Count", rb::Value(int64_t(7))));
    EXPECT_TRUE(rb::setPropValue(o, "Text", rb::Value(rb::String("kept"))));
    EXPECT_TRUE(rb::setPropValue(o, "Ratio", rb::Value(2.5)));
    EXPECT_EQ(std::get<int64_t>(rb::getPropValue(o, "Same")), 7);
    EXPECT_EQ(std::get<rb::String>(rb::getPropValue(o, "Text")).str(), "kept");
    EXPECT_EQ(std::get<double>(rb::getPropValue(o, "Ratio")), 2.5);
    rb::release(o);
}

}  // namespace
