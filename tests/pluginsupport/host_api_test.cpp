// Registration as every plug-in does it: old hosts get 12-byte method
// records with the same functions and texts, new hosts the records as they
// are, and a host without the registration service gets nothing and no
// crash. Also the object test's three answers.
#include "host_api.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::map<std::string, void *> gServices;
double gVersion = 0;
std::vector<REALclassDefinition *> gRegistered;

double version() { return gVersion; }
void registerClass(REALclassDefinition *def) { gRegistered.push_back(def); }
RBBoolean isA(REALobject, const char *name) { return std::strcmp(name, "Yes") == 0; }

void *host(const char *name) {
    auto it = gServices.find(name);
    return it == gServices.end() ? nullptr : it->second;
}

void first() {}
void second() {}

struct Registration : ::testing::Test {
    REALmethodDefinition methods[2] = {{reinterpret_cast<void *>(first), nullptr, "First()", 0},
                                       {reinterpret_cast<void *>(second), nullptr, "Second(a as integer)", 0}};
    REALclassDefinition def{};

    void SetUp() override {
        gServices = {{"PluginRegisterClass", reinterpret_cast<void *>(registerClass)},
                     {"REALGetRBVersion", reinterpret_cast<void *>(version)}};
        gRegistered.clear();
        setResolver(host);
        def.methods = methods;
        def.methodCount = 2;
    }
    void TearDown() override { setResolver(nullptr); }
};

TEST_F(Registration, OldHostsGetShortRecordsNewHostsTheOriginals) {
    gVersion = 5.8;
    plugin::registerClass(&def);
    ASSERT_EQ(gRegistered.size(), 1u);
    ASSERT_NE(def.methods, methods);
    auto *shortList = reinterpret_cast<const REALmethodDefinitionShort *>(def.methods);
    EXPECT_EQ(shortList[0].function, reinterpret_cast<void *>(first));
    EXPECT_STREQ(shortList[1].declaration, "Second(a as integer)");
    EXPECT_EQ(shortList[1].function, reinterpret_cast<void *>(second));

    def.methods = methods;
    gVersion = 5.9;
    plugin::registerClass(&def);
    EXPECT_EQ(def.methods, methods);
    EXPECT_EQ(gRegistered.size(), 2u);
}

TEST_F(Registration, AHostWithoutItsVersionIsOld) {
    gServices.erase("REALGetRBVersion");
    plugin::registerClass(&def);
    EXPECT_NE(def.methods, methods);
    EXPECT_EQ(gRegistered.size(), 1u);
}

TEST_F(Registration, WithoutTheServiceNothingIsRegistered) {
    gServices.erase("PluginRegisterClass");
    gVersion = 6;
    plugin::registerClass(&def);
    plugin::registerClassExtension(&def);
    plugin::registerMethod(&methods[0]);
    plugin::announceVersion();
    EXPECT_TRUE(gRegistered.empty());
}

TEST(ObjectIsA, YesNoAndCannotTell) {
    REALobjectStruct object{};
    gServices = {{"REALObjectIsA", reinterpret_cast<void *>(isA)}};
    setResolver(host);
    EXPECT_EQ(plugin::objectIsA(&object, "Yes"), 1);
    EXPECT_EQ(plugin::objectIsA(&object, "No"), 0);
    EXPECT_EQ(plugin::objectIsA(nullptr, "Yes"), 0);
    gServices.clear();
    setResolver(host);
    EXPECT_EQ(plugin::objectIsA(&object, "Yes"), -1);
    setResolver(nullptr);
}

}  // namespace
