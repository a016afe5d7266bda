// The application's binding list, built from the plug-ins' member tables:
// its texts are an outside contract (the plug-ins declare them byte for
// byte), so the whole list is pinned, and each text must reach a member of
// the plug-ins as the host loads them.
#include "binding/entrypoints.h"
#include "fingerprint.h"
#include "isolated.h"

#include <rb/entrypoints.h>
#include <rb/plugins.h>
#include <rb/runtime.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

using tavrin::detail::kTexts;

TEST(BindingList, HoldsEveryTextOnceInItsGroups) {
    EXPECT_EQ(tavrin::kEntrypointCount, 404);
    EXPECT_EQ(kTexts.front(), "_");
    std::map<std::string_view, int> perClass, seen;
    for (std::string_view text : kTexts) {
        EXPECT_EQ(++seen[text], 1) << "twice: " << text;
        size_t point = text.find('.');
        if (point != std::string_view::npos && text.find('(') > point) ++perClass[text.substr(0, point)];
    }
    const std::map<std::string_view, int> expected = {{"AVC", 47},
                                                      {"FWNotification", 7},
                                                      {"QTGraphicsImporterMatrixPlyx", 10},
                                                      {"QTGraphicsImporterPlyx", 79},
                                                      {"QTGraphicsExporterPlyx", 55},
                                                      {"QTGraphicsImporterImageDescriptionPlyx", 6},
                                                      {"QTGrabberPlyx", 124},
                                                      {"BevelButton", 22},
                                                      {"application", 1}};
    for (const auto &[cls, count] : expected) EXPECT_EQ(perClass[cls], count) << cls;
    // A class's texts stand together, as the host binds them class by class.
    std::map<std::string_view, size_t> last;
    for (size_t i = 0; i < kTexts.size(); ++i) {
        std::string_view cls = kTexts[i].substr(0, kTexts[i].find('.'));
        if (last.count(cls) && expected.count(cls)) {
            EXPECT_EQ(last[cls], i - 1) << kTexts[i];
        }
        last[cls] = i;
    }
}

TEST(BindingList, KeepsItsTextsByteForByte) {
    std::string all;
    for (std::string_view text : kTexts) all.append(text).push_back('\n');
    all.pop_back();
    // Any change to a declaration text, its order or its class changes this.
    EXPECT_EQ(testsupport::fingerprint(all), 0x4b2afc92069ffa6eull);
    EXPECT_EQ(tavrin::detail::slotOf("AVC.__init"), 27);
    EXPECT_EQ(kTexts[size_t(tavrin::detail::slotOf("AVC.__init")) + 1], "AVC.__exit");
    EXPECT_EQ(kTexts[size_t(tavrin::detail::slotOf("QTGraphicsImporterPlyx.Flags as integer")) + 1],
              "QTGraphicsImporterPlyx.ImageIndex as integer.Set")
        << "method setters follow all the methods";
}

TEST(BindingList, EveryPluginTextReachesAMemberOfTheLoadedPlugins) {
    inChild([] {
        RuntimeInit();
        for (const char *path : {TAVRIN_AVC_PLUGIN, TAVRIN_GRAPHICS_PLUGIN, TAVRIN_GRABBER_PLUGIN}) {
            rb::PluginLoad load = rb::loadPlugin(path);
            ASSERT_TRUE(load.ok) << load.error;
        }
        int bound = 0;
        for (std::string_view text : kTexts) {
            if (text == "_") continue;
            void *entry = RuntimeLookupPluginEntrypoint(std::string(text).c_str());
            EXPECT_FALSE(rb::isTrap(entry)) << text;
            bound += !rb::isTrap(entry);
        }
        EXPECT_EQ(bound, 403);
    });
}
