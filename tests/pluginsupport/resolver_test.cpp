// The service slot: a found service is kept, a missing one is asked for
// again, and a new resolver (a plug-in handed to another host without being
// unloaded) is asked anew for every service.
#include "resolver.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

int gAsked = 0;
int first() { return 1; }
int second() { return 2; }
bool gHasService = true;

void *firstHost(const char *name) {
    ++gAsked;
    return gHasService && std::strcmp(name, "Answer") == 0 ? reinterpret_cast<void *>(first) : nullptr;
}
void *secondHost(const char *name) {
    ++gAsked;
    return std::strcmp(name, "Answer") == 0 ? reinterpret_cast<void *>(second) : nullptr;
}

int answer() {
    HOST_SERVICE(fn, "Answer", int (*)());
    return fn ? fn() : 0;
}

}  // namespace

TEST(HostService, KeepsWhatItFoundAndAsksTheNextResolverAnew) {
    gHasService = false;
    gAsked = 0;
    setResolver(firstHost);
    EXPECT_EQ(answer(), 0);
    EXPECT_EQ(answer(), 0);
    EXPECT_EQ(gAsked, 2) << "a missing service is asked for on every use";
    gHasService = true;
    EXPECT_EQ(answer(), 1);
    EXPECT_EQ(answer(), 1);
    EXPECT_EQ(gAsked, 3) << "a found service is kept";
    setResolver(secondHost);
    EXPECT_EQ(answer(), 2) << "the new host's service, not the one kept from the old";
    EXPECT_EQ(gAsked, 4);
    setResolver(nullptr);
    EXPECT_EQ(answer(), 0) << "no resolver, no service";
}
